#include "install/PassFiles.h"

#include <cstdlib>
#include <cstring>

namespace {

// Blocks are never moved: a growing array would hold its old and new copy at once.
const size_t kBlockSize = 64 * 1024;

} // namespace

CPassFiles::~CPassFiles() {
    for (unsigned char* block : m_blocks)
        std::free(block);
}

bool CPassFiles::Add(const char* name, bool oldKept, DWORD resetMarks, DWORD names) {
    const size_t length = std::strlen(name);
    if (length >= MAX_PATH)
        return false;
    size_t shared = 0;
    while (shared < 255 && name[shared] && name[shared] == m_last[shared])
        ++shared;
    const size_t size = 4 + length - shared;
    if (m_blocks.empty() || m_used.back() + size > kBlockSize) {
        auto* block = static_cast<unsigned char*>(std::malloc(kBlockSize));
        if (!block)
            return false;
        m_blocks.push_back(block);
        m_used.push_back(0);
    }
    unsigned char* at = m_blocks.back() + m_used.back();
    at[0] = oldKept ? File::kOldKept : 0;
    at[1] = 0;
    File(at, name).SetResetMarks(resetMarks);
    File(at, name).SetNames(names);
    at[2] = static_cast<unsigned char>(shared);
    std::memcpy(at + 3, name + shared, length - shared + 1);
    std::memcpy(m_last, name, length + 1);
    m_used.back() += size;
    ++m_count;
    return true;
}

bool CPassFiles::ForEachOf(bool (*visit)(void*, File), void* context) {
    char name[MAX_PATH];
    for (size_t block = 0; block < m_blocks.size(); ++block)
        for (size_t at = 0; at < m_used[block];) {
            // State, the length shared with the name before, the rest NUL-ended.
            unsigned char* entry = m_blocks[block] + at;
            const char* rest = reinterpret_cast<const char*>(entry + 3);
            const size_t length = std::strlen(rest);
            std::memcpy(name + entry[2], rest, length + 1);
            at += 4 + length;
            if (!visit(context, File(entry, name)))
                return false;
        }
    return true;
}
