// The list of the pack's files that a release writes into install.exe, where its signature
// covers it: the name, size and SHA-256 of each file the pass is to install. A program that
// carries one installs exactly those files, as they were released; one without installs the
// folder's files as ever. The format is written down in PackList.cpp, which alone reads it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "CString.h"
#include "KeepAlive.h"
#include "Sha256.h"
#include "install/PassOutcome.h"

class CPackList {
public:
    // Reads the list the program carries, if it carries one. One object per pass.
    CPackList();
    CPackList(const CPackList&) = delete;
    CPackList& operator=(const CPackList&) = delete;

    bool Carried() const { return m_carried; }
    // Carried but not a list: the pack cannot be checked and is refused whole.
    bool Malformed() const { return m_malformed; }

    // Whether the listing's entry of that name (ANSI code page, as the listing spells it) is a
    // file of the pack, which then counts as seen. A file the list does not name is not
    // installed. Without a list every name is.
    bool Lists(const char* name);

    enum class Copy { Matches, Differs, Unreadable };
    // Whether the staged copy at stagedPath is the listed file of that name, byte for byte as
    // released: its size and its SHA-256, taken over the copy itself. Unreadable leaves the
    // error as the last error.
    Copy CheckStagedCopy(const char* name, const CString& stagedPath, CKeepAlive& alive);
    // The same of a file open for reading (a Korvo file, to tell whether it is current).
    Copy CheckOpenFile(const char* name, HANDLE file, CKeepAlive& alive);

    // Reports each listed file that no listing entry met (missing from the pack folder) to the
    // outcome, spelt in the ANSI code page with '?' for what it lacks; returns how many.
    int ReportUnseen(PassOutcome& outcome) const;

private:
    struct Entry {
        CString name; // ANSI code page
        bool held;    // the code page holds the name: a listing can give it
        bool seen;
        uint64_t size;
        Sha256Digest digest;
    };
    bool Parse(std::string_view text);
    Copy Check(const char* name, const char* path, HANDLE file, CKeepAlive& alive);
    Entry* Find(const char* name);

    // Arrays rather than vectors: install.exe is to stay small.
    std::unique_ptr<Entry[]> m_entries;
    size_t m_count = 0;
    std::unique_ptr<Entry*[]> m_byName; // m_entries in the byte order of their names
    bool m_carried = false;
    bool m_malformed = false;
    CSha256 m_hash;
};
