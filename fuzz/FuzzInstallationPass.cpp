// The installation pass over a pack and a Korvo folder built from the input: for each of a
// fixed set of names, what the source holds under it (nothing, a file, a read-only, hidden or
// linked file, a folder, a dangling link, a FIFO) and what the target holds (nothing, an old
// file, a read-only, hidden or system one, a folder, a link to a file elsewhere). After the
// pass: one message box in the pass's form; either every file is installed, or none is and
// the Korvo folder is as it was, marks included, and the message names only files that could
// not be installed (every refused target among them when the listing passed); files elsewhere
// keep bytes and marks; no internal error. A pack with no file to install is refused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "FuzzCheck.h"
#include "HeadlessWindow.h"
#include "HostNames.h"
#include "HostPath.h"
#include "PassTexts.h"
#include "PassReport.h"
#include "install/InstallationPass.h"

namespace {

const std::string kNothingToInstall =
    kFailed + std::string("\n\nDer Ordner enth\xE4lt keine Dateien zum Installieren:\n");
const char kUnholdable[] = "\xE6\x97\xA5\xE6\x9C\xAC.txt"; // on disk as UTF-8: "??.txt" listed

// Windows-1252 names, and the one name Windows-1252 cannot hold.
const char* const kNames[] = {
    "a.txt",        "A.TXT",        "install.exe", "INSTALL.EXE", "VOZORADI.DLL",
    "vozoradi.dll", "DOZADARU.DLL", "README",      "x y.z.w",     "L\xF6sung.txt",
    ".profile",     kUnholdable,    "..a",         "sub"};
const size_t kCount = sizeof kNames / sizeof kNames[0];

enum Source { kNoSource, kFile, kReadOnlyFile, kHiddenFile, kFolder, kDangling, kFifo, kLinked };
enum Target { kNoTarget, kOld, kReadOnlyOld, kHiddenOld, kFolderInTheWay, kSystemOld, kLink };

std::string base;

[[noreturn]] void Fail(const std::string& what, const uint8_t* data, size_t size) {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n  input:", what.c_str());
    for (size_t i = 0; i < size; ++i)
        std::fprintf(stderr, " %02X", data[i]);
    std::fprintf(stderr, "\n");
    std::abort();
}

std::string OnDisk(size_t i) {
    return kNames[i] == kUnholdable ? kUnholdable : hostfs::Cp1252ToUtf8(kNames[i]);
}

std::string Listed(size_t i) {
    return kNames[i] == kUnholdable ? "??.txt" : kNames[i];
}

void Write(const std::string& path, const std::string& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, content.data(), content.size()) != ssize_t(content.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

// A file with its DOS attribute bits (hidden 0x2, system 0x4; none if null), read-only if asked.
void WriteMarked(const std::string& path, const std::string& content, const char* bits,
                 bool readOnly) {
    Write(path, content);
    if (bits && setxattr(path.c_str(), "user.DOSATTRIB", bits, std::strlen(bits), 0) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    if (readOnly)
        chmod(path.c_str(), 0444);
}

using fuzzcheck::RemoveTree;

void RemoveBase() {
    RemoveTree(base);
}

// What an entry is: "" absent, "/" a folder, "->" and where a link points, else the file's
// marks and content.
std::string State(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return "";
    if (S_ISDIR(st.st_mode))
        return "/";
    char to[4096];
    if (S_ISLNK(st.st_mode)) {
        const ssize_t n = readlink(path.c_str(), to, sizeof to);
        return "->" + std::string(to, n > 0 ? size_t(n) : 0);
    }
    const ssize_t bits = getxattr(path.c_str(), "user.DOSATTRIB", to, sizeof to);
    std::string content =
        std::to_string(st.st_mode) + ":" + std::string(to, bits > 0 ? size_t(bits) : 0) + ":";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[256];
    ssize_t n;
    while (fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, size_t(n));
    if (fd >= 0)
        close(fd);
    return content;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/kq-fuzz-pass-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("throw-away folder");
        std::exit(1);
    }
    char* real = realpath(pattern, nullptr);
    base = real;
    std::free(real);
    std::atexit(RemoveBase);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string src = base + "/src", dst = base + "/dst", linked = base + "/linked";
    mkdir(src.c_str(), 0755);
    mkdir(dst.c_str(), 0755);
    mkdir(linked.c_str(), 0755);

    Source source[kCount] = {};
    Target target[kCount] = {};
    for (size_t i = 0; i < kCount; ++i) {
        source[i] = Source(2 * i < size ? data[2 * i] % 8 : kNoSource);
        target[i] = Target(2 * i + 1 < size ? data[2 * i + 1] % 7 : kNoTarget);
    }
    // A Windows folder holds one of two names that differ only in letter case, never both.
    for (size_t i = 0; i < kCount; ++i)
        for (size_t j = i + 1; j < kCount; ++j)
            if (hostfs::EqualIgnoringCase(kNames[i], kNames[j])) {
                source[j] = source[i] ? kNoSource : source[j];
                target[j] = target[i] ? kNoTarget : target[j];
            }
    for (size_t i = 0; i < kCount; ++i) {
        const std::string from = src + "/" + OnDisk(i), to = dst + "/" + OnDisk(i);
        const std::string fresh = "new " + std::to_string(i), old = "old " + std::to_string(i);
        switch (source[i]) {
        case kNoSource:
            break;
        case kFile:
        case kReadOnlyFile:
        case kHiddenFile:
            WriteMarked(from, fresh, source[i] == kHiddenFile ? "0x2" : nullptr,
                        source[i] == kReadOnlyFile);
            break;
        case kFolder:
            mkdir(from.c_str(), 0755);
            break;
        case kDangling:
            symlink("nowhere", from.c_str());
            break;
        case kFifo:
            mkfifo(from.c_str(), 0644);
            break;
        case kLinked:
            Write(linked + "/" + std::to_string(i), fresh);
            symlink((linked + "/" + std::to_string(i)).c_str(), from.c_str());
            break;
        }
        switch (target[i]) {
        case kNoTarget:
            break;
        case kOld:
        case kReadOnlyOld:
        case kHiddenOld:
        case kSystemOld:
            WriteMarked(to, old,
                        target[i] == kHiddenOld   ? "0x2"
                        : target[i] == kSystemOld ? "0x4"
                                                  : nullptr,
                        target[i] == kReadOnlyOld);
            break;
        case kFolderInTheWay:
            mkdir(to.c_str(), 0755);
            break;
        case kLink:
            WriteMarked(linked + "/old" + std::to_string(i), old, nullptr, i % 2);
            symlink((linked + "/old" + std::to_string(i)).c_str(), to.c_str());
            break;
        }
    }
    std::map<std::string, std::string> before, elsewhere;
    for (const std::string& name : Entries(dst))
        before[name] = State(dst + "/" + name);
    for (const std::string& name : Entries(linked))
        elsewhere[name] = State(linked + "/" + name);

    CWnd wnd;
    std::unique_ptr<HeadlessWindow> window = MakeHeadlessWindow(wnd);
    window->text = kCaption;
    RunInstallationPass(hostfs::ToWindowsPath(src).c_str(), hostfs::ToWindowsPath(dst).c_str(),
                        &wnd);
    wnd.m_hWnd = nullptr;

    // The pass's rules, worked out from what was set up: what the listing refuses, what
    // staging refuses at the target, what it cannot copy.
    std::vector<std::string> listing, refused, unreadable;
    std::map<std::string, std::string> installed; // on-disk name, new content
    bool anyFile = false;                         // that the pass would install
    for (size_t i = 0; i < kCount; ++i) {
        const std::string name = Listed(i);
        if (source[i] == kNoSource || source[i] == kFolder || name == "install.exe")
            continue;
        anyFile = true;
        if (kNames[i] == kUnholdable || source[i] == kDangling || source[i] == kLinked) {
            listing.push_back(name);
            continue;
        }
        if (name == "VOZORADI.DLL" || name == "DOZADARU.DLL") {
            // Present: as spelled, or else in another letter case (only one other is made).
            const std::string exact = dst + "/" + OnDisk(i);
            std::string other = dst + "/";
            for (size_t j = 0; j < kCount; ++j)
                if (j != i && hostfs::EqualIgnoringCase(kNames[j], name))
                    other += OnDisk(j);
            struct stat st;
            const bool present =
                lstat(exact.c_str(), &st) == 0 ? IsRegularFile(exact) : IsRegularFile(other);
            if (!present)
                continue;
        }
        // The target as Windows finds it: under this name, or else in another letter case,
        // which the new file then replaces under that name.
        size_t at = i;
        for (size_t j = 0; j < kCount; ++j)
            if (target[at] == kNoTarget && target[j] != kNoTarget &&
                hostfs::EqualIgnoringCase(kNames[j], kNames[i]))
                at = j;
        if (target[at] == kFolderInTheWay || target[at] == kLink)
            refused.push_back(name);
        else if (source[i] == kFifo)
            unreadable.push_back(name);
        else
            installed[OnDisk(at)] = "new " + std::to_string(i);
    }
    const bool complete = listing.empty() && refused.empty() && unreadable.empty();
    // After the listing's failures staging only checks: every refused target is named; the
    // first file that cannot be copied stops the copying.
    std::vector<std::string> named = listing;
    named.insert(named.end(), refused.begin(), refused.end());
    std::vector<std::string> possible = named;
    if (listing.empty())
        possible.insert(possible.end(), unreadable.begin(), unreadable.end());
    for (auto* names : {&named, &possible})
        std::sort(names->begin(), names->end());

    if (window->messageBoxes.size() != 1)
        Fail("not exactly one message box", data, size);
    const HeadlessMessageBox& box = window->messageBoxes[0];
    const PassReport report = ParseReport({box.text, box.caption, box.type});
    if (!anyFile) {
        if (box.text.rfind(kNothingToInstall, 0) != 0 || box.type != (MB_OK | MB_ICONERROR))
            Fail("a pack of nothing to install not refused:\n" + box.text, data, size);
    } else if (!report.wellFormed) {
        Fail("message not in the pass's form:\n" + box.text, data, size);
    }
    if (anyFile && (report.complete != complete || report.listingBroken || report.partly))
        Fail("message does not match what happened:\n" + box.text, data, size);
    const int count = int(report.notCopied.size()) + report.more;
    if (anyFile && !complete &&
        (!std::includes(possible.begin(), possible.end(), report.notCopied.begin(),
                        report.notCopied.end()) ||
         count < int(named.size()) || count > int(possible.size()) ||
         (named.size() <= 10 && !std::includes(report.notCopied.begin(), report.notCopied.end(),
                                               named.begin(), named.end()))))
        Fail("wrong files named:\n" + box.text, data, size);
    if (window->text != kCaption || window->textChanges != 0)
        Fail("internal error", data, size);

    for (const auto& entry : elsewhere)
        if (State(linked + "/" + entry.first) != entry.second)
            Fail("a file elsewhere changed: " + entry.first, data, size);
    std::set<std::string> expected;
    for (const auto& entry : before)
        expected.insert(entry.first);
    if (complete)
        for (const auto& entry : installed)
            expected.insert(entry.first);
    if (Entries(dst) != expected)
        Fail("the target holds other entries than expected", data, size);
    for (const std::string& name : expected) {
        const std::string now = State(dst + "/" + name);
        const auto fresh = installed.find(name);
        if (complete && fresh != installed.end()) {
            if (now != std::to_string(S_IFREG | 0644) + "::" + fresh->second) // no marks
                Fail("an installed file is not its new version with normal marks: " + name, data,
                     size);
        } else if (now != before[name]) {
            Fail("a file not installed changed: " + name, data, size);
        }
    }

    RemoveTree(src);
    RemoveTree(dst);
    RemoveTree(linked);
    return 0;
}
