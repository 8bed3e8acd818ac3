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

bool CPassFiles::Add(const char* name, bool sourceMarked) {
    const size_t size = 2 + std::strlen(name);
    if (size > kBlockSize)
        return false;
    if (m_blocks.empty() || m_used.back() + size > kBlockSize) {
        auto* block = static_cast<unsigned char*>(std::malloc(kBlockSize));
        if (!block)
            return false;
        m_blocks.push_back(block);
        m_used.push_back(0);
    }
    unsigned char* at = m_blocks.back() + m_used.back();
    at[0] = sourceMarked ? File::kSourceMarked : 0;
    std::memcpy(at + 1, name, size - 1);
    m_used.back() += size;
    ++m_count;
    return true;
}
