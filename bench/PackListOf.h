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

// The checked pass's figures: the pass without the list, with it, and SHA-256 alone over the
// same files take turns within each round (round 0 only warms the cache), so that drift hits
// all alike. timePass(withList) and timeHash() return milliseconds. build names the lines
// ("Host", "Wine"); checking should cost one hash over the bytes and nothing more.
template <class TimePass, class TimeHash>
void ReportCheckedPass(const std::string& build, const char* label, int rounds, TimePass timePass,
                       TimeHash timeHash) {
    std::vector<double> plain, extra, hashed;
    for (int round = 0; round <= rounds; ++round) {
        double t[3] = {};
        for (int step = 0; step < 3; ++step) {
            const int which = (step + round) % 3;
            t[which] = which == 2 ? timeHash() : timePass(which == 1);
        }
        if (round == 0)
            continue;
        plain.push_back(t[0]);
        extra.push_back(t[1] - t[0]);
        hashed.push_back(t[2]);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    const double mp = median(plain), me = median(extra), mh = median(hashed);
    std::printf(
        "%-4s %-26s pass %8.1f ms, checked against its list %+.1f ms (min/max %+.1f/%+.1f), "
        "SHA-256 alone %.1f ms (%d rounds)\n",
        build.c_str(), label, mp, me, *std::min_element(extra.begin(), extra.end()),
        *std::max_element(extra.begin(), extra.end()), mh, rounds);
    std::printf("ROW\t%s SHA-256 alone (ms), %s\t%.1f\tyardstick\tshown\n", build.c_str(), label,
                mh);
    std::printf("ROW\t%s checked pass / pass without a list, %s\t%.3f\tshown\tshown\n",
                build.c_str(), label, (mp + me) / mp);
    std::printf("ROW\t%s checked pass's extra time / SHA-256 alone, %s\t%.3f\t<= 1.2\t%s\n",
                build.c_str(), label, me / mh, me / mh <= 1.2 ? "pass" : "miss");
    std::fflush(stdout);
}

// The list the pass finds in the program from now on; null: none.
void CarryPackList(const std::string* list);
