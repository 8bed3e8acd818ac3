// The host's name and path conversions on arbitrary bytes:
// - every byte string is a Windows-1252 name, and goes to UTF-8 and back unchanged;
// - Utf8ToCp1252 of any bytes gives back what it can and a '?' for each thing it cannot,
//   and says so: exact conversions go back to the same UTF-8;
// - a Windows path that ToPosixPath takes comes out absolute and in normal form, and goes
//   through ToWindowsPath and ToPosixPath again unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "HostNames.h"
#include "HostPath.h"

using namespace hostfs;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& input) {
    fuzzcheck::Fail(what, input, "input");
}

void CheckCp1252RoundTrip(const std::string& cp1252) {
    const std::string utf8 = Cp1252ToUtf8(cp1252);
    std::string back;
    if (!Utf8ToCp1252(utf8, back))
        Fail("a Windows-1252 name did not convert back exactly", cp1252);
    if (back != cp1252)
        Fail("a Windows-1252 name came back changed", cp1252);
    // One to three UTF-8 bytes per byte; bytes below 0x80 as they are.
    if (utf8.size() < cp1252.size() || utf8.size() > 3 * cp1252.size())
        Fail("UTF-8 form of implausible length", cp1252);
}

void CheckUtf8ToCp1252(const std::string& bytes) {
    std::string out;
    const bool exact = Utf8ToCp1252(bytes, out);
    if (Utf8ToCp1252(bytes) != out)
        Fail("the two Utf8ToCp1252 forms disagree", bytes);
    if (out.size() > bytes.size())
        Fail("more bytes out than in", bytes);
    const auto questionMarks = [](const std::string& s) {
        return std::count(s.begin(), s.end(), '?');
    };
    if (exact) {
        if (Cp1252ToUtf8(out) != bytes)
            Fail("an exact conversion does not go back to the same UTF-8", bytes);
    } else if (questionMarks(out) <= questionMarks(bytes)) {
        Fail("an inexact conversion shows no '?' for what it lost", bytes);
    }
    // ASCII passes through wherever it stands: a '?' never swallows a following ASCII byte.
    size_t asciiIn = 0, asciiOut = 0;
    for (char c : bytes)
        asciiIn += static_cast<unsigned char>(c) < 0x80 && c != '?';
    for (char c : out)
        asciiOut += static_cast<unsigned char>(c) < 0x80 && c != '?';
    if (asciiIn != asciiOut)
        Fail("ASCII bytes lost or made up", bytes);
    // What comes out is a name the other direction takes exactly.
    CheckCp1252RoundTrip(out);
}

bool IsNormalPosixPath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return false;
    if (path == "/")
        return true;
    if (path.back() == '/')
        return false;
    size_t pos = 1;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(pos, end - pos);
        if (name.empty() || name == "." || name == "..")
            return false;
        pos = end + 1;
    }
    return true;
}

void CheckPathConversion(const std::string& windowsPath) {
    // Only absolute paths: a relative one depends on the current directory.
    const std::string absolute = "Z:\\" + windowsPath;
    std::string posix;
    if (ToPosixPath(absolute.c_str(), posix) != ERROR_SUCCESS)
        return;
    if (!IsNormalPosixPath(posix))
        Fail("ToPosixPath gave a path not in normal form", absolute);
    const std::string again = ToWindowsPath(posix);
    std::string posixAgain;
    if (ToPosixPath(again.c_str(), posixAgain) != ERROR_SUCCESS || posixAgain != posix)
        Fail("a path did not survive ToWindowsPath and ToPosixPath", absolute);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckCp1252RoundTrip(bytes);
    CheckUtf8ToCp1252(bytes);
    // Paths are C strings.
    CheckPathConversion(bytes.substr(0, bytes.find('\0')));
    return 0;
}
