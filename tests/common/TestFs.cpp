// The parts of the test file helpers that need no platform call of their own.
#include "TestFs.h"

#include <gtest/gtest.h>

namespace testfs {

TempDir::~TempDir() {
    if (m_path.IsEmpty())
        return;
    RemoveTree(m_path);
    EXPECT_FALSE(Exists(m_path)) << "temp folder left behind: " << m_path;
}

CString TempDir::operator/(const char* name) const {
    return m_path / name;
}

void WriteFileMakingFolders(const CString& path, const std::string& content) {
    // By characters: under code page 932 a backslash byte may end one.
    const char* begin = path;
    for (const char* at = begin + 3; *at; at = CharNextA(at))
        if (*at == '\\' && !Exists(path.Left(int(at - begin))))
            MakeDir(path.Left(int(at - begin)));
    WriteFile(path, content);
}

} // namespace testfs
