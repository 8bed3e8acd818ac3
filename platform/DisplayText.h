// Text on its way to the screen, kept in pieces until a window shows it, because its two kinds
// are spelt differently: the program's own German texts are Windows-1252 bytes on every system,
// while names of files and folders are in the system's ANSI code page, as the ANSI file
// functions give and take them. The window converts each piece from its own code page.
#pragma once

#include <vector>

#include "CString.h"

class CDisplayText {
public:
    struct Piece {
        CString bytes;
        bool name; // ANSI code page; otherwise Windows-1252
    };

    CDisplayText() = default;
    // A fixed text of the program's own.
    CDisplayText(const char* text) { Text(text); }

    // Appends a fixed text (Windows-1252).
    CDisplayText& Text(const char* text);
    // Appends the name of a file or folder (ANSI code page).
    CDisplayText& Name(const char* name);

    const std::vector<Piece>& Pieces() const { return m_pieces; }
    // The pieces' bytes one after another: what code page 1252 shows.
    CString Bytes() const;

private:
    std::vector<Piece> m_pieces;
};

// The text in UTF-8, each piece read in its own code page, as a log file holds it.
CString Utf8Text(const CDisplayText& text);
