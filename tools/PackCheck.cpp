// kq_pack_check PACK_FOLDER [LIST_FILE]: whether the installation pass would install a service
// pack's files as the vendor expects. The rules come from install/PassNames and the host
// platform's mapping of Linux names to Windows ones, the same code the pass runs on. With
// LIST_FILE, an accepted pack's list of files is written there, for the release to build into
// install.exe (format: install/PackList.cpp).
//
// Exit status: 0 accepted (warnings possible), 1 refused, 2 the folder cannot be read (or the
// list cannot be written).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "HostAttributes.h"
#include "HostNames.h"
#include "HostPath.h"
#include "Sha256.h"
#include "install/PassFolderLayout.h"
#include "install/PassNames.h"

namespace {

// Where a pack typically lands: a 32-bit program's folder on 64-bit Windows, which German
// Explorer shows as "C:\Programme (x86)"; paths hold the real name. The pass writes each
// file's temporary path beside it.
const char kTypicalKorvoFolder[] = "C:\\Program Files (x86)\\Korvo";

struct Entry {
    std::string name;   // as on disk (UTF-8)
    std::string cp1252; // as the pass lists it
    bool holdable = false;
    struct stat st {};
};

class Report {
public:
    void Refuse(const Entry& e, const std::string& rule) {
        Line("REFUSED", e, rule);
        ++m_refused;
    }
    void Warn(const Entry& e, const std::string& rule) {
        Line("WARNING", e, rule);
        ++m_warnings;
    }
    void Note(const Entry& e, const std::string& text) { Line("NOTE", e, text); }
    int Refused() const { return m_refused; }
    int Warnings() const { return m_warnings; }

private:
    // Control bytes would garble the terminal; they are shown as \xNN.
    static void Line(const char* kind, const Entry& e, const std::string& text) {
        std::string name;
        for (unsigned char c : e.name) {
            char hex[8];
            std::snprintf(hex, sizeof hex, c < 0x20 || c == 0x7F ? "\\x%02X" : "%c", c);
            name += hex;
        }
        std::printf("%s: \"%s\": %s\n", kind, name.c_str(), text.c_str());
    }
    int m_refused = 0;
    int m_warnings = 0;
};

// Upper case as Windows-1252 folds it, so that equal names regardless of case are equal.
std::string Folded(std::string text) {
    for (char& c : text)
        c = static_cast<char>(hostfs::FoldCase(static_cast<unsigned char>(c)));
    return text;
}

// CON, PRN, AUX, NUL, COM and LPT with a digit or a superscript 1-3 (Windows-1252 bytes) name
// devices, with any extension and letter case.
bool IsReservedDeviceName(const std::string& name) {
    std::string base = Folded(name.substr(0, name.find('.')));
    base.erase(base.find_last_not_of(' ') + 1);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    const std::string port = base.substr(0, 3);
    return base.size() == 4 && (port == "COM" || port == "LPT") &&
           std::string("0123456789\xB9\xB2\xB3").find(base[3]) != std::string::npos;
}

// Little-endian fields of a file where they are; 0 past its end.
class FileFields {
public:
    explicit FileFields(const std::string& path) : m_in(path, std::ios::binary) {}
    uint32_t At(uint64_t offset, int bytes) {
        unsigned char b[4] = {};
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(reinterpret_cast<char*>(b), bytes);
        return m_in ? b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24 : 0;
    }

private:
    std::ifstream m_in;
};

const uint32_t kMachineI386 = 0x014C;

// A PE file by its headers, whatever its name: the machine it was built for, and whether its
// security directory holds an Authenticode signature (a PKCS#7 WIN_CERTIFICATE).
struct PeImage {
    bool pe = false;
    uint32_t machine = 0;
    bool signedCode = false;
};

PeImage ReadPeImage(const std::string& path, uint64_t size) {
    FileFields f(path);
    PeImage image;
    const uint32_t header = f.At(0x3C, 4);
    if (f.At(0, 2) != 0x5A4D || f.At(header, 4) != 0x4550) // "MZ", "PE\0\0"
        return image;
    image.pe = true;
    image.machine = f.At(header + 4, 2);
    const uint64_t optional = header + 24;
    const uint64_t directories = optional + (f.At(optional, 2) == 0x20B ? 112 : 96); // PE32+
    if (f.At(directories - 4, 4) > 4) {
        const uint64_t offset = f.At(directories + 4 * 8, 4),
                       length = f.At(directories + 4 * 8 + 4, 4);
        image.signedCode = offset && length >= 8 && offset + length <= size &&
                           f.At(offset + 6, 2) == 0x0002; // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    }
    return image;
}

std::string MachineName(uint32_t machine) {
    if (machine == 0x8664)
        return "x64 (64-bit)";
    if (machine == 0xAA64)
        return "ARM64";
    char hex[32];
    std::snprintf(hex, sizeof hex, "machine 0x%04X", machine);
    return hex;
}

void CheckPe(const std::string& path, const Entry& e, Report& report) {
    const PeImage image = ReadPeImage(path, static_cast<uint64_t>(e.st.st_size));
    if (image.pe && image.machine != kMachineI386)
        report.Refuse(e, "a PE file for " + MachineName(image.machine) +
                             ", not 32-bit x86: Korvo is a 32-bit program and cannot load it");
    else if (image.pe && !image.signedCode)
        report.Warn(e,
                    "a PE file without an Authenticode signature: application control (AppLocker, "
                    "WDAC) blocks it even in a signed service pack");
}

void CheckName(const Entry& e, Report& report) {
    if (IsSkippedName(e.cp1252.c_str())) {
        report.Refuse(e, "the installation pass skips this name: it is never installed");
        return;
    }
    // Windows finds the file regardless of case, so the copy lands on that name after all.
    if (hostfs::EqualIgnoringCase(e.cp1252, kInstallerName))
        report.Refuse(e, "install.exe in another letter case: copied over the program's own "
                         "name in the Korvo folder");
    for (const char* library : kOptionalLibraryNames)
        if (!IsOptionalLibrary(e.cp1252.c_str()) && hostfs::EqualIgnoringCase(e.cp1252, library))
            report.Refuse(e, std::string("the optional library ") + library +
                                 " in another letter case: the pass would install it everywhere, "
                                 "not only where the Korvo folder has it");
    for (unsigned char c : e.cp1252)
        if (hostfs::IsInvalidNameChar(c) || c == '\\') {
            report.Refuse(e, "holds a character Windows refuses in a name (<>:\"|?*\\ or a "
                             "control character)");
            break;
        }
    if (IsReservedDeviceName(e.cp1252))
        report.Refuse(e, "a device name on Windows (CON, PRN, AUX, NUL, COM0-9, LPT0-9)");
    if (!IsInstallableName(e.cp1252.c_str()))
        report.Refuse(e, "ends in a dot or a space, which Windows drops: the pass never installs "
                         "it");
    if (IsPassName(e.cp1252.c_str()))
        report.Refuse(e, std::string("ends in ") + kPassFolderName +
                             ", the pass's own names: it would be taken for its folder");
    const int length = SecondPathFor(kTypicalKorvoFolder, e.cp1252.c_str()).GetLength();
    if (length >= MAX_PATH)
        report.Refuse(e, "too long: the pass writes " + std::string(kTypicalKorvoFolder) + "\\" +
                             kPassFolderName + "\\<x>\\<name>, " + std::to_string(length) +
                             " characters, over Windows' limit of " + std::to_string(MAX_PATH - 1));
}

void CheckEntry(const std::string& folder, const Entry& e, Report& report) {
    if (S_ISDIR(e.st.st_mode)) {
        report.Refuse(e, "a subfolder: the pass installs no folders, nothing in it is installed");
        return;
    }
    if (!S_ISREG(e.st.st_mode)) {
        report.Refuse(e, "not a regular file (a symbolic link, FIFO, socket or device)");
        return;
    }
    if (!e.holdable) {
        report.Refuse(e, "a name Windows-1252 cannot hold: the program cannot copy it");
        return;
    }
    CheckName(e, report);
    CheckPe(folder + '/' + e.name, e, report);
    if (hostfs::IsReadOnly(e.st))
        report.Warn(e, "read-only: installs with normal attributes");
    const DWORD bits = hostfs::ReadXattrBits((folder + '/' + e.name).c_str());
    if (bits & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        report.Warn(e, "hidden or system: installs with normal attributes");
    if (IsOptionalLibrary(e.cp1252.c_str()))
        report.Note(e, "optional library: installed only where the Korvo folder already has it");
}

// Names that Windows takes for one: only one of them would be installed.
void CheckCaseTwins(const std::vector<Entry>& entries, Report& report) {
    std::map<std::string, std::vector<const Entry*>> byFoldedName;
    for (const Entry& e : entries) {
        if (e.holdable)
            byFoldedName[Folded(e.cp1252)].push_back(&e);
    }
    for (const auto& twins : byFoldedName)
        for (const Entry* e : twins.second)
            for (const Entry* other : twins.second)
                if (e != other)
                    report.Refuse(*e, "the same name as \"" + other->name +
                                          "\" regardless of letter case: Windows keeps one");
}

// Every file of an accepted pack is installed: one line each, by its Windows-1252 name's bytes.
bool WriteList(const std::string& folder, std::vector<Entry> entries, const char* path) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.cp1252 < b.cp1252; });
    char absolute[PATH_MAX];
    if (!realpath(folder.c_str(), absolute))
        return false;
    std::string list;
    CSha256 hash;
    CKeepAlive alive(nullptr);
    for (const Entry& e : entries) {
        Sha256Digest digest;
        uint64_t size = 0;
        const std::string file = hostfs::ToWindowsPath(std::string(absolute) + '/' + e.name);
        if (hash.HashFile(file.c_str(), digest, size, alive) != ERROR_SUCCESS)
            return false;
        for (unsigned char b : digest.bytes) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            list += hex;
        }
        list += ' ' + std::to_string(size) + ' ' + e.cp1252 + '\n';
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out << list) && static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: kq_pack_check PACK_FOLDER [LIST_FILE]\n");
        return 2;
    }
    const std::string folder = argv[1];
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        std::fprintf(stderr, "kq_pack_check: cannot read the pack folder %s: %s\n", folder.c_str(),
                     std::strerror(errno));
        return 2;
    }
    std::vector<Entry> entries;
    for (;;) {
        errno = 0;
        const dirent* d = readdir(dir);
        if (!d)
            break;
        Entry e;
        e.name = d->d_name;
        if (e.name == "." || e.name == "..")
            continue;
        if (lstat((folder + '/' + e.name).c_str(), &e.st) != 0)
            break;
        e.holdable = hostfs::Utf8ToCp1252(e.name, e.cp1252);
        entries.push_back(e);
    }
    const int err = errno;
    closedir(dir);
    if (err) {
        std::fprintf(stderr, "kq_pack_check: cannot read the pack folder %s: %s\n", folder.c_str(),
                     std::strerror(err));
        return 2;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });

    Report report;
    for (const Entry& e : entries)
        CheckEntry(folder, e, report);
    CheckCaseTwins(entries, report);
    std::printf("pack %s: %d refusals, %d warnings\n", report.Refused() ? "refused" : "accepted",
                report.Refused(), report.Warnings());
    if (report.Refused())
        return 1;
    if (argc == 3 && !WriteList(folder, entries, argv[2])) {
        std::fprintf(stderr, "kq_pack_check: cannot write the list of %s to %s\n", folder.c_str(),
                     argv[2]);
        return 2;
    }
    return 0;
}
