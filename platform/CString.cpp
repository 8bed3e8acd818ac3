#include "CString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CString CString::Left(int count) const {
    if (count < 0)
        count = 0;
    return CString(m_text.c_str(), count < GetLength() ? count : GetLength());
}

int CString::Find(char ch) const {
    size_t at = m_text.find(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    for (char& c : m_text) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

namespace {

// On Windows msvcrt's own formatter, which the format attribute already checks against: the
// C99 one that vsnprintf names under mingw-w64 links in some 25 KiB (floating point among it)
// that the few %s, %d and %lu here never use.
int FormattedLength(const char* format, va_list args) {
#ifdef _WIN32
    return _vscprintf(format, args);
#else
    return vsnprintf(nullptr, 0, format, args);
#endif
}

// size: the formatted length and the terminator.
void FormatInto(char* buffer, size_t size, const char* format, va_list args) {
#ifdef _WIN32
    _vsnprintf(buffer, size, format, args);
#else
    vsnprintf(buffer, size, format, args);
#endif
}

} // namespace

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = FormattedLength(format, args);
    va_end(args);
    if (length < 0) {
        m_text.clear();
    } else {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        FormatInto(&text[0], text.size(), format, again);
        text.resize(static_cast<size_t>(length));
        m_text.swap(text);
    }
    va_end(again);
}

char* CString::GetBuffer(int minLength) {
    // One byte more than asked, so a callee that writes minLength bytes and a NUL stays inside.
    if (minLength >= GetLength())
        m_text.resize(static_cast<size_t>(minLength) + 1);
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = static_cast<int>(strnlen(m_text.c_str(), m_text.size()));
    m_text.resize(static_cast<size_t>(newLength));
}

CString& CString::operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
}

CString& CString::operator=(char ch) {
    m_text.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text)
        m_text += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}
