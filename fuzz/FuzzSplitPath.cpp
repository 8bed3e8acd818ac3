// The host _splitpath on arbitrary bytes, with part buffers of exactly the runtime's sizes on
// the heap (AddressSanitizer stops any write past them): every part NUL-terminated inside its
// buffer, each part of the right form, and where every part fits, the parts in order give the
// path back byte for byte ('/' stays '/': the host runtime takes both separators as they are).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "WinApi.h"

namespace {

using fuzzcheck::Fail;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The part's text; fails when no NUL ends it inside its buffer.
std::string Part(const char* buffer, size_t size, const std::string& path, const char* name) {
    const size_t length = strnlen(buffer, size);
    if (length == size)
        Fail(name, path);
    return std::string(buffer, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the parts not asked for (null pointers); the rest is the path.
    const unsigned nulls = data[0];
    const char* text = reinterpret_cast<const char*>(data + 1);
    const std::string path(text, strnlen(text, size - 1));

    const std::unique_ptr<char[]> drive(new char[_MAX_DRIVE]), dir(new char[_MAX_DIR]),
        fname(new char[_MAX_FNAME]), ext(new char[_MAX_EXT]);
    const auto split = [&](unsigned skip) {
        // Garbage first, so a part left unterminated shows.
        std::memset(drive.get(), 'D', _MAX_DRIVE);
        std::memset(dir.get(), 'P', _MAX_DIR);
        std::memset(fname.get(), 'N', _MAX_FNAME);
        std::memset(ext.get(), 'E', _MAX_EXT);
        _splitpath(path.c_str(), skip & 1 ? nullptr : drive.get(), skip & 2 ? nullptr : dir.get(),
                   skip & 4 ? nullptr : fname.get(), skip & 8 ? nullptr : ext.get());
    };
    split(0);
    const std::string d = Part(drive.get(), _MAX_DRIVE, path, "drive not terminated");
    const std::string p = Part(dir.get(), _MAX_DIR, path, "folder part not terminated");
    const std::string n = Part(fname.get(), _MAX_FNAME, path, "name not terminated");
    const std::string e = Part(ext.get(), _MAX_EXT, path, "extension not terminated");

    if (!d.empty() && (d.size() != 2 || d[1] != ':' || path.compare(0, 2, d) != 0))
        Fail("drive is not the first byte and a colon", path);
    if (d.empty() && path.size() >= 2 && path[1] == ':')
        Fail("drive missing", path);
    if (!p.empty() && !IsSeparator(p.back()) && p.size() < _MAX_DIR - 1)
        Fail("folder part does not end in a separator", path);
    for (char c : n + e)
        if (IsSeparator(c))
            Fail("separator in the name or extension", path);
    if (!e.empty() && (e[0] != '.' || e.find('.', 1) != std::string::npos))
        Fail("extension is not one dot and what follows it", path);

    const bool fits =
        p.size() < _MAX_DIR - 1 && n.size() < _MAX_FNAME - 1 && e.size() < _MAX_EXT - 1;
    if (nulls & 15) {
        // A part asked for alone comes out as when all are asked for.
        split(nulls);
        if ((!(nulls & 1) && Part(drive.get(), _MAX_DRIVE, path, "drive not terminated") != d) ||
            (!(nulls & 2) && Part(dir.get(), _MAX_DIR, path, "folder not terminated") != p) ||
            (!(nulls & 4) && Part(fname.get(), _MAX_FNAME, path, "name not terminated") != n) ||
            (!(nulls & 8) && Part(ext.get(), _MAX_EXT, path, "extension not terminated") != e))
            Fail("a part depends on which other parts were asked for", path);
    }

    if (fits && d + p + n + e != path)
        Fail("the parts do not give the path back", path);
    if (!fits) {
        // Cut short, but still each from its own place in the path.
        const std::string rest = path.substr(d.size());
        size_t nameStart = 0;
        for (size_t i = 0; i < rest.size(); ++i)
            if (IsSeparator(rest[i]))
                nameStart = i + 1;
        const std::string last = rest.substr(nameStart);
        const size_t dot = last.rfind('.');
        const std::string name = last.substr(0, dot),
                          extension = dot == std::string::npos ? "" : last.substr(dot);
        if (rest.compare(0, p.size(), p) != 0 || p.size() > nameStart)
            Fail("folder part is not the start of the path", path);
        if (name.compare(0, n.size(), n) != 0 || extension.compare(0, e.size(), e) != 0)
            Fail("name or extension is not the start of its place in the path", path);
    }
    return 0;
}
