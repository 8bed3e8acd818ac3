// The list's format, as ./release.sh writes it (RCDATA resource IDR_PACK_LIST of install.exe):
//
//   <SHA-256: 64 lower-case hex digits> <size: decimal bytes> <name>\n
//
// one line per file of the pack, the name in Windows-1252 (the pack check refuses any other),
// lines sorted by the names' bytes, each name once, every line ending in "\n" (an empty list has
// none). Anything else (a line cut short, a name a Windows file cannot have, out of order) makes
// the list malformed: a list that does not read cannot vouch for the pack.
#include "install/PackList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "AnsiName.h"
#include "ProgramData.h"
#include "install/PassNames.h"
#include "res/resource.h"

namespace {

int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Leaves out what no listing gives: separators, wildcards, control bytes, "." and "..", a
// trailing dot or space, and the installer, which the pass never installs.
bool IsListableName(std::string_view name) {
    if (name.empty() || name.size() >= MAX_PATH)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || std::strchr("<>:\"|?*\\/", c))
            return false;
    const CString text(name.data(), static_cast<int>(name.size()));
    return IsInstallableName(text) && !IsSkippedName(text);
}

} // namespace

CPackList::CPackList() {
    std::string_view text;
    m_carried = FindProgramData(IDR_PACK_LIST, text);
    if (m_carried && !Parse(text)) {
        m_malformed = true;
        m_count = 0;
    }
}

bool CPackList::Parse(std::string_view text) {
    m_count = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    m_entries.reset(new Entry[m_count]());
    std::string_view previous;
    for (size_t at = 0; at < m_count; ++at) {
        Entry& entry = m_entries[at];
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return false;
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);

        if (line.size() < 64 + 3 || line[64] != ' ')
            return false;
        for (int i = 0; i < 32; ++i) {
            const int high = HexDigit(line[2 * i]), low = HexDigit(line[2 * i + 1]);
            if (high < 0 || low < 0)
                return false;
            entry.digest.bytes[i] = static_cast<unsigned char>(high << 4 | low);
        }
        line.remove_prefix(65);
        const size_t space = line.find(' ');
        // At most 19 digits, no leading zero: no overflow, one spelling.
        if (space == 0 || space > 19 || (line[0] == '0' && space != 1))
            return false;
        for (size_t i = 0; i < space; ++i) {
            if (line[i] < '0' || line[i] > '9')
                return false;
            entry.size = entry.size * 10 + static_cast<uint64_t>(line[i] - '0');
        }
        const std::string_view name = line.substr(space + 1);
        if (!IsListableName(name) || (!previous.empty() && !(previous < name)))
            return false;
        previous = name;
        entry.held =
            AnsiNameFrom1252(CString(name.data(), static_cast<int>(name.size())), entry.name);
    }
    if (!text.empty())
        return false;
    // In the ANSI code page's byte order, to be found as a listing spells the names. The
    // runtime's qsort costs the program no code of its own.
    m_byName.reset(new Entry*[m_count]);
    for (size_t i = 0; i < m_count; ++i)
        m_byName[i] = &m_entries[i];
    std::qsort(m_byName.get(), m_count, sizeof(Entry*), [](const void* a, const void* b) {
        return std::strcmp((*static_cast<Entry* const*>(a))->name,
                           (*static_cast<Entry* const*>(b))->name);
    });
    return true;
}

CPackList::Entry* CPackList::Find(const char* name) {
    size_t low = 0, high = m_count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (std::strcmp(m_byName[middle]->name, name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    // One the code page cannot hold reads with '?', as a name no file function can use.
    for (; low < m_count && std::strcmp(m_byName[low]->name, name) == 0; ++low)
        if (m_byName[low]->held)
            return m_byName[low];
    return nullptr;
}

bool CPackList::Lists(const char* name) {
    if (!m_carried)
        return true;
    Entry* entry = Find(name);
    if (entry)
        entry->seen = true;
    return entry != nullptr;
}

CPackList::Copy CPackList::CheckStagedCopy(const char* name, const CString& stagedPath,
                                           CKeepAlive& alive) {
    return Check(name, stagedPath, INVALID_HANDLE_VALUE, alive);
}

CPackList::Copy CPackList::CheckOpenFile(const char* name, HANDLE file, CKeepAlive& alive) {
    return Check(name, nullptr, file, alive);
}

CPackList::Copy CPackList::Check(const char* name, const char* path, HANDLE file,
                                 CKeepAlive& alive) {
    if (!m_carried)
        return Copy::Matches;
    const Entry* entry = Find(name);
    if (!entry)
        return Copy::Differs;
    Sha256Digest digest;
    uint64_t size = 0;
    if ((path ? m_hash.HashFile(path, digest, size, alive)
              : m_hash.HashOpenFile(file, digest, size, alive)) != ERROR_SUCCESS)
        return Copy::Unreadable;
    return size == entry->size &&
                   std::memcmp(digest.bytes, entry->digest.bytes, sizeof digest.bytes) == 0
               ? Copy::Matches
               : Copy::Differs;
}

int CPackList::ReportUnseen(PassOutcome& outcome) const {
    int unseen = 0;
    for (size_t i = 0; i < m_count; ++i)
        if (!m_entries[i].seen) {
            outcome.CopyFailed(m_entries[i].name, Cause::NotAsShipped);
            ++unseen;
        }
    return unseen;
}
