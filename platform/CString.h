// The framework string: 8-bit characters in the ANSI code page, length in bytes.
#pragma once

#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text, static_cast<size_t>(length)) {}
    CString(char ch) : m_text(1, ch) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    operator const char*() const { return m_text.c_str(); }
    char operator[](int index) const { return m_text[static_cast<size_t>(index)]; }

    // The first count bytes (all of them when count exceeds the length).
    CString Left(int count) const;
    // Index of the first occurrence of ch, or -1.
    int Find(char ch) const;
    // Replaces every oldCh by newCh; returns how many were replaced.
    int Replace(char oldCh, char newCh);
    void Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // A writable buffer of at least minLength bytes plus the terminator, for APIs that fill
    // a caller's buffer; ReleaseBuffer() then takes the length up to the first NUL.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    CString& operator=(const char* text);
    CString& operator=(char ch);
    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);
    friend bool operator==(const CString& a, const CString& b) {
        return a.m_text == b.m_text;
    }
    friend bool operator!=(const CString& a, const CString& b) {
        return a.m_text != b.m_text;
    }

private:
    std::string m_text;
};
