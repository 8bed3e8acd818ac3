#include "DisplayText.h"

CDisplayText& CDisplayText::Text(const char* text) {
    // Neighbours of one kind join, so that a window converts as few pieces as it can.
    if (!m_pieces.empty() && !m_pieces.back().name)
        m_pieces.back().bytes += text;
    else
        m_pieces.push_back({text, false});
    return *this;
}

CDisplayText& CDisplayText::Name(const char* name) {
    if (!m_pieces.empty() && m_pieces.back().name)
        m_pieces.back().bytes += name;
    else
        m_pieces.push_back({name, true});
    return *this;
}

CString CDisplayText::Bytes() const {
    CString bytes;
    for (const Piece& piece : m_pieces)
        bytes += piece.bytes;
    return bytes;
}
