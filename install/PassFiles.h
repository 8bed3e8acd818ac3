// The files one pass installs, by name, with what the pass did to each, in memory that grows by
// little more than the names: a pass over 50,000 files stays small.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "WinApi.h"

class CPassFiles {
public:
    // One file: a byte of state, then its name, NUL-ended. The pointer stays valid.
    class File {
    public:
        const char* Name() const { return reinterpret_cast<const char*>(m_at + 1); }
        // The source has marks that its copy takes along (read-only, hidden, system, archive).
        bool SourceMarked() const { return *m_at & kSourceMarked; }
        // A target was there before: it is kept under its second name during the commit.
        bool OldKept() const { return *m_at & kOldKept; }
        void SetOldKept() { *m_at |= kOldKept; }
        // The target's marks as they were before the pass reset them; 0 when it did not.
        DWORD ResetMarks() const { return *m_at & kMarks; }
        void SetResetMarks(DWORD marks) { *m_at = (*m_at & ~kMarks) | (marks & kMarks); }

    private:
        friend class CPassFiles;
        explicit File(unsigned char* at) : m_at(at) {}
        static const unsigned char kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        static const unsigned char kOldKept = 0x40, kSourceMarked = 0x80;
        unsigned char* m_at;
    };

    CPassFiles() = default;
    ~CPassFiles();
    CPassFiles(const CPassFiles&) = delete;
    CPassFiles& operator=(const CPassFiles&) = delete;

    // False when memory runs out.
    bool Add(const char* name, bool sourceMarked);
    int Count() const { return m_count; }

    // Visits the files in the order they were added, while visit returns true; returns
    // whether it went through all of them.
    template <class Visit> bool ForEach(Visit visit) {
        for (size_t block = 0; block < m_blocks.size(); ++block)
            for (size_t at = 0; at < m_used[block];) {
                File file(m_blocks[block] + at);
                at += 2 + std::strlen(file.Name());
                if (!visit(file))
                    return false;
            }
        return true;
    }

private:
    std::vector<unsigned char*> m_blocks;
    std::vector<size_t> m_used;
    int m_count = 0;
};
