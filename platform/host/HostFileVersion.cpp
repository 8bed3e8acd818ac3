// The file version read from a PE file's resources, as Windows' GetFileVersionInfoA and
// VerQueryValueA(block, "\\") find it: the resource of type RT_VERSION and id VS_VERSION_INFO,
// its first language, and the fixed part of the block. A 16-bit program's block, which Windows
// reads too, is not read here.
#include <cstring>
#include <unistd.h>

#include "FileVersion.h"
#include "HostOpenFile.h"

namespace {

const DWORD kRtVersion = 16, kVsVersionInfo = 1, kSubdirectory = 0x80000000;
const DWORD kFixedSignature = 0xFEEF04BD;

WORD WordAt(const unsigned char* at) {
    return static_cast<WORD>(at[0] | at[1] << 8);
}
DWORD DwordAt(const unsigned char* at) {
    return WordAt(at) | static_cast<DWORD>(WordAt(at + 2)) << 16;
}

class PeFile {
public:
    explicit PeFile(LPCSTR path)
        : m_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~PeFile() {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }
    PeFile(const PeFile&) = delete;
    PeFile& operator=(const PeFile&) = delete;

    bool Read(FileVersion& version);

private:
    // Opened through the stand-in, for its shares; read by offset.
    bool At(DWORD offset, unsigned char* to, DWORD size) {
        const hostfs::OpenFile* file = hostfs::LookupOpenFile(m_file);
        return file && pread(file->fd, to, size, offset) == static_cast<ssize_t>(size);
    }
    // The file offset of an address in the loaded image, through the section that holds it.
    bool OffsetOf(DWORD rva, DWORD& offset);
    // The entry with that id in the resource directory at offset (relative to the resources);
    // any = the first id entry, as a first language.
    bool Entry(DWORD directory, DWORD id, bool any, DWORD& target);

    HANDLE m_file;
    DWORD m_sections = 0, m_sectionTable = 0, m_resources = 0;
};

bool PeFile::OffsetOf(DWORD rva, DWORD& offset) {
    unsigned char section[40];
    for (DWORD i = 0; i < m_sections; ++i) {
        if (!At(m_sectionTable + i * 40, section, sizeof section))
            return false;
        const DWORD address = DwordAt(section + 12), raw = DwordAt(section + 16);
        if (rva >= address && rva - address < raw) {
            offset = DwordAt(section + 20) + (rva - address);
            return true;
        }
    }
    return false;
}

bool PeFile::Entry(DWORD directory, DWORD id, bool any, DWORD& target) {
    unsigned char header[16], entry[8];
    if (!At(m_resources + directory, header, sizeof header))
        return false;
    const DWORD named = WordAt(header + 12), ids = WordAt(header + 14);
    for (DWORD i = named; i < named + ids; ++i) {
        if (!At(m_resources + directory + 16 + i * 8, entry, sizeof entry))
            return false;
        if (any || DwordAt(entry) == id) {
            target = DwordAt(entry + 4);
            return true;
        }
    }
    return false;
}

bool PeFile::Read(FileVersion& version) {
    unsigned char dos[64], headers[24], optional[240];
    if (m_file == INVALID_HANDLE_VALUE || !At(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    const DWORD pe = DwordAt(dos + 0x3C);
    if (!At(pe, headers, sizeof headers) || std::memcmp(headers, "PE\0\0", 4) != 0)
        return false;
    m_sections = WordAt(headers + 6);
    const DWORD optionalSize = WordAt(headers + 20);
    m_sectionTable = pe + sizeof headers + optionalSize;
    if (optionalSize < 2 || optionalSize > sizeof optional || !At(pe + 24, optional, optionalSize))
        return false;
    // PE32 and PE32+ differ in where the data directories begin; the resources are the third.
    const WORD magic = WordAt(optional);
    const DWORD count = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
    if (count == 0 || count + 4 > optionalSize || DwordAt(optional + count) < 3 ||
        count + 4 + 3 * 8 > optionalSize)
        return false;
    const DWORD resourceRva = DwordAt(optional + count + 4 + 2 * 8);
    DWORD type = 0, name = 0, language = 0;
    if (resourceRva == 0 || !OffsetOf(resourceRva, m_resources) ||
        !Entry(0, kRtVersion, false, type) || !(type & kSubdirectory) ||
        !Entry(type & ~kSubdirectory, kVsVersionInfo, false, name) || !(name & kSubdirectory) ||
        !Entry(name & ~kSubdirectory, 0, true, language) || (language & kSubdirectory))
        return false;
    // The data entry, then the block: VS_VERSIONINFO's length, the length of its value, its
    // type and L"VS_VERSION_INFO", padded to 40 bytes; then the value, VS_FIXEDFILEINFO.
    unsigned char data[16], block[40 + 16];
    DWORD offset = 0;
    if (!At(m_resources + language, data, sizeof data) || DwordAt(data + 4) < 40 + 52 ||
        !OffsetOf(DwordAt(data), offset) || !At(offset, block, sizeof block) ||
        WordAt(block + 2) < 52 || DwordAt(block + 40) != kFixedSignature)
        return false;
    version.ms = DwordAt(block + 48);
    version.ls = DwordAt(block + 52);
    return true;
}

} // namespace

BOOL GetFileVersionA(LPCSTR path, FileVersion& version) {
    PeFile file(path);
    return file.Read(version) ? TRUE : FALSE;
}
