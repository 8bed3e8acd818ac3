#include "HostNames.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace hostfs {

namespace {

// Code points of the bytes 0x80..0x9F; the rest of the upper half is Latin-1 itself.
constexpr uint16_t kHighCodePoints[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The byte for a code point, or -1.
int ByteFor(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighCodePoints[i] == cp)
            return 0x80 + i;
    return -1;
}

// Decodes one well-formed UTF-8 sequence at text[pos]; returns its length, or 0 if ill-formed.
size_t DecodeUtf8(std::string_view text, size_t pos, uint32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    size_t length;
    uint32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - pos < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// Pattern characters as FindFirstFile hands them to the file system: '?' becomes the DOS
// question mark '>', a '.' before a wildcard or at the end the DOS dot '"', and a '*' before
// a '.' the DOS star '<'.
std::string ToExpression(std::string_view pattern) {
    if (pattern == "*.*")
        return "*";
    std::string expression(pattern);
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '?')
            expression[i] = '>';
        else if (pattern[i] == '.' && (next == '?' || next == '*' || next == '\0'))
            expression[i] = '"';
        else if (pattern[i] == '*' && next == '.')
            expression[i] = '<';
    }
    return expression;
}

} // namespace

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + 8);
    for (char ch : cp1252) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            AppendUtf8(out, c < 0xA0 ? kHighCodePoints[c - 0x80] : c);
    }
    return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& cp1252) {
    cp1252.clear();
    bool exact = true;
    for (size_t pos = 0; pos < utf8.size();) {
        uint32_t cp = 0;
        const size_t length = DecodeUtf8(utf8, pos, cp);
        const int byte = length ? ByteFor(cp) : -1;
        if (byte < 0) {
            cp1252 += '?';
            exact = false;
        } else {
            cp1252 += static_cast<char>(byte);
        }
        pos += length ? length : 1;
    }
    return exact;
}

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    Utf8ToCp1252(utf8, out);
    return out;
}

unsigned char FoldCase(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    switch (c) {
    case 0x9A: // š
    case 0x9C: // œ
    case 0x9E: // ž
        return c - 0x10;
    case 0xFF: // ÿ
        return 0x9F;
    default:
        return c;
    }
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) !=
            FoldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    const std::string expression = ToExpression(pattern);
    if (expression == "*")
        return true;
    // The name positions the expression so far can end at: a set, so no backtracking.
    const size_t n = name.size();
    const size_t lastDot = name.rfind('.');
    std::vector<char> at(n + 1, 0), next(n + 1, 0);
    at[0] = 1;
    for (char e : expression) {
        std::fill(next.begin(), next.end(), 0);
        bool any = false;
        for (size_t j = 0; j <= n; ++j) {
            if (!at[j])
                continue;
            any = true;
            switch (e) {
            case '*':
                std::fill(next.begin() + j, next.end(), 1);
                j = n; // every later position is covered
                break;
            case '<': {
                // Up to the name's last dot, or anything once past it.
                const size_t end =
                    (lastDot != std::string_view::npos && j <= lastDot) ? lastDot : n;
                std::fill(next.begin() + j, next.begin() + end + 1, 1);
                break;
            }
            case '>':
                if (j < n && name[j] != '.')
                    next[j + 1] = 1;
                else
                    next[j] = 1;
                break;
            case '"':
                if (j < n && name[j] == '.')
                    next[j + 1] = 1;
                else if (j == n)
                    next[j] = 1;
                break;
            default:
                if (j < n && FoldCase(static_cast<unsigned char>(name[j])) ==
                                 FoldCase(static_cast<unsigned char>(e)))
                    next[j + 1] = 1;
            }
        }
        if (!any)
            return false;
        at.swap(next);
    }
    return at[n] != 0;
}

bool IsInvalidNameChar(unsigned char c) {
    switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
        return true;
    default:
        return c >= 1 && c <= 31;
    }
}

} // namespace hostfs
