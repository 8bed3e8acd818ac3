// The list of files a release would build into install.exe, made for a bench's own files, and
// carried by the bench in place of a resource (BenchProgramData.cpp on Windows; the stand-in's
// program data on Linux).
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Sha256.h"

// A line per file: SHA-256 in lower-case hex, size, name; in the byte order of the names.
// folder and the separator are as the build names paths.
inline std::string PackListOf(const std::string& folder, char separator,
                              std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    CSha256 hash;
    CKeepAlive alive(nullptr);
    std::string list;
    for (const std::string& name : names) {
        Sha256Digest digest;
        uint64_t size = 0;
        if (hash.HashFile((folder + separator + name).c_str(), digest, size, alive))
            return std::string();
        char hex[3];
        for (unsigned char byte : digest.bytes) {
            std::snprintf(hex, sizeof hex, "%02x", byte);
            list += hex;
        }
        list += " " + std::to_string(size) + " " + name + "\n";
    }
    return list;
}

// SHA-256 alone over each file, as the pass hashes its staged copies; false when one cannot be
// read.
inline bool HashEach(const std::string& folder, char separator,
                     const std::vector<std::string>& names) {
    CSha256 hash;
    CKeepAlive alive(nullptr);
    for (const std::string& name : names) {
        Sha256Digest digest;
        uint64_t size = 0;
        if (hash.HashFile((folder + separator + name).c_str(), digest, size, alive))
            return false;
    }
    return true;
}

// The list the pass finds in the program from now on; null: none.
void CarryPackList(const std::string* list);
