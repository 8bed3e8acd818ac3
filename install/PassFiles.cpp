#include "install/PassFiles.h"

#include <cstdlib>
#include <cstring>

namespace {

// Blocks are never moved: a growing array would hold its old and new copy at once.
const size_t kBlockSize = 64 * 1024;
// In the third byte's low half: the middle is longer than the half can say, and NUL-ended.
const unsigned char kLongMiddle = 15;

} // namespace

CPassFiles::~CPassFiles() {
    for (unsigned char* block : m_blocks)
        std::free(block);
}

bool CPassFiles::Add(const char* name, bool oldKept, DWORD resetMarks, DWORD names) {
    const size_t length = std::strlen(name);
    if (length >= MAX_PATH)
        return false;
    size_t shared = 0, tail = 0;
    while (shared < 31 && name[shared] && name[shared] == m_last[shared])
        ++shared;
    while (tail < 15 && tail < length - shared && tail < m_lastLength &&
           name[length - 1 - tail] == m_last[m_lastLength - 1 - tail])
        ++tail;
    const size_t own = length - shared - tail;
    const size_t size = 3 + own + (own >= kLongMiddle);
    if (m_blocks.empty() || m_used.back() + size > kBlockSize) {
        auto* block = static_cast<unsigned char*>(std::malloc(kBlockSize));
        if (!block)
            return false;
        m_blocks.push_back(block);
        m_used.push_back(0);
    }
    unsigned char* at = m_blocks.back() + m_used.back();
    at[0] = oldKept ? File::kOldKept : 0;
    at[1] = static_cast<unsigned char>(shared << 3);
    File(at, name).SetResetMarks(resetMarks);
    File(at, name).SetNames(names);
    at[2] = static_cast<unsigned char>(tail << 4 | (own >= kLongMiddle ? kLongMiddle : own));
    std::memcpy(at + 3, name + shared, own);
    if (own >= kLongMiddle)
        at[size - 1] = '\0';
    std::memcpy(m_last, name, length + 1);
    m_lastLength = length;
    m_used.back() += size;
    ++m_count;
    return true;
}

bool CPassFiles::ForEachOf(bool (*visit)(void*, File), void* context) {
    char name[MAX_PATH];
    size_t length = 0;
    for (size_t block = 0; block < m_blocks.size(); ++block)
        for (size_t at = 0; at < m_used[block];) {
            // State; state and the length of the start shared with the name before; the lengths
            // of the end shared and of the middle; the middle.
            unsigned char* entry = m_blocks[block] + at;
            const size_t shared = entry[1] >> 3, tail = entry[2] >> 4;
            const char* middle = reinterpret_cast<const char*>(entry + 3);
            const bool nulEnded = (entry[2] & 15) == kLongMiddle;
            const size_t own = nulEnded ? std::strlen(middle) : entry[2] & 15;
            std::memmove(name + shared + own, name + length - tail, tail);
            std::memcpy(name + shared, middle, own);
            length = shared + own + tail;
            name[length] = '\0';
            at += 3 + own + nulEnded;
            if (!visit(context, File(entry, name)))
                return false;
        }
    return true;
}
