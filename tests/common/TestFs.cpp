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
    for (int i = 3; i < path.GetLength(); ++i)
        if (path[i] == '\\' && !Exists(path.Left(i)))
            MakeDir(path.Left(i));
    WriteFile(path, content);
}

} // namespace testfs
