// The files one pass installs, by name, with what the pass did to each, in memory that grows by
// less than the names (most share their start, and many their end, with the one before): a pass
// over 50,000 files stays small.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "WinApi.h"

class CPassFiles {
public:
    // One file: two bytes of state and its name, which shares its start and end with the name
    // before it.
    class File {
    public:
        const char* Name() const { return m_name; }
        // A target was there before: it is kept under its second name during the commit.
        bool OldKept() const { return *m_at & kOldKept; }
        void SetOldKept() { *m_at |= kOldKept; }
        // Its copy was flushed as it was written (where the volume cannot be flushed).
        bool CopyFlushed() const { return *m_at & kCopyFlushed; }
        void SetCopyFlushed() { *m_at |= kCopyFlushed; }
        // The target's marks as they were before the pass reset them; 0 when it did not.
        DWORD ResetMarks() const { return *m_at & kMarks; }
        void SetResetMarks(DWORD marks) { *m_at = (*m_at & ~kMarks) | (marks & kMarks); }
        // How many names the target had when it was staged, 1 to kManyNames (that many or
        // more): an undo puts back a kept old file only with as many names as it had then.
        DWORD Names() const { return 1 + ((*m_at & kNames) >> 3); }
        void SetNames(DWORD names) {
            const DWORD more = names > kManyNames ? kManyNames - 1 : names > 0 ? names - 1 : 0;
            *m_at = static_cast<unsigned char>((*m_at & ~kNames) | (more << 3));
        }
        static const DWORD kManyNames = 4;
        static DWORD MarksOf(DWORD attributes) { return attributes & kMarks; }
        // The target already holds the pack file's bytes: neither staged nor replaced, only its
        // marks (ResetMarks) and, with its time stale, its time set once the pass succeeds.
        bool Current() const { return m_at[1] & kCurrent; }
        bool TimeStale() const { return m_at[1] & kTimeStale; }
        void SetCurrent(bool timeStale) {
            m_at[1] = static_cast<unsigned char>((m_at[1] & ~(kCurrent | kTimeStale)) | kCurrent |
                                                 (timeStale ? kTimeStale : 0));
        }
        // Its copy begins as a program or library does: only such a file has a version.
        bool Program() const { return m_at[1] & kProgram; }
        void SetProgram() { m_at[1] |= kProgram; }

    private:
        friend class CPassFiles;
        File(unsigned char* at, const char* name) : m_at(at), m_name(name) {}
        static const unsigned char kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        static const unsigned char kNames = 0x18, kOldKept = 0x40, kCopyFlushed = 0x80;
        // Of the second byte, whose other five bits are the length of the start shared.
        static const unsigned char kCurrent = 0x01, kTimeStale = 0x02, kProgram = 0x04;
        unsigned char* m_at;
        const char* m_name;
    };

    CPassFiles() = default;
    ~CPassFiles();
    CPassFiles(const CPassFiles&) = delete;
    CPassFiles& operator=(const CPassFiles&) = delete;

    // False when memory runs out or the name is longer than a listing gives. A file read back
    // from a record comes with what staging found: its old target kept, its marks reset, its
    // number of names.
    bool Add(const char* name, bool oldKept = false, DWORD resetMarks = 0, DWORD names = 1);
    int Count() const { return m_count; }

    // Visits the files in the order they were added, while visit returns true; returns
    // whether it went through all of them.
    template <class Visit> bool ForEach(Visit visit) {
        return ForEachOf([](void* v, File file) { return (*static_cast<Visit*>(v))(file); },
                         &visit);
    }

private:
    // The loop once for every visit (install.exe is to stay small).
    bool ForEachOf(bool (*visit)(void*, File), void* context);

    std::vector<unsigned char*> m_blocks;
    std::vector<size_t> m_used;
    char m_last[MAX_PATH] = "";
    size_t m_lastLength = 0;
    int m_count = 0;
};
