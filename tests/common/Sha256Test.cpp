// SHA-256 of files from the platform's own library (CNG on Windows, libcrypto on Linux),
// against the known values of FIPS 180-2.
#include <gtest/gtest.h>

#include <cstdio>

#include "Sha256.h"
#include "TestFs.h"

namespace {

std::string Hex(const Sha256Digest& digest) {
    std::string hex;
    char two[3];
    for (unsigned char b : digest.bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

TEST(Sha256, KnownFilesOfOneChunkAndOfSeveral) {
    testfs::TempDir dir;
    const struct {
        const char* name;
        std::string content;
        const char* sha256;
    } files[] = {
        {"leer", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"million", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    CKeepAlive alive(nullptr);
    CSha256 hash; // one for all, as a pass has
    for (const auto& file : files) {
        testfs::WriteFile(dir / file.name, file.content);
        Sha256Digest digest{};
        uint64_t size = 1;
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, hash.HashFile(dir / file.name, digest, size, alive))
            << file.name;
        EXPECT_EQ(file.sha256, Hex(digest)) << file.name;
        EXPECT_EQ(file.content.size(), size) << file.name;
    }
    Sha256Digest digest;
    uint64_t size;
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, hash.HashFile(dir / "fehlt", digest, size, alive));
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, GetLastError());
}

} // namespace
