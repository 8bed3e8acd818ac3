// The test file helpers over kernel32 directly, apart from anything the code under test uses.
#include "TestFs.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace testfs {

namespace {

std::string LastError() {
    return "error " + std::to_string(GetLastError());
}

// Paths go through the wide API with the \\?\ prefix, so that the helpers still see and clean
// up what the code under test made beyond MAX_PATH, where the A functions give up.
std::wstring Wide(const CString& path) {
    int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (fullLength == 0)
        return wide;
    std::wstring full(fullLength, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), fullLength, &full[0], nullptr));
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string Ansi(const wchar_t* name) {
    int length = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, &ansi[0], length, nullptr, nullptr);
    ansi.resize(strlen(ansi.c_str()));
    return ansi;
}

} // namespace

TempDir::TempDir() {
    char base[MAX_PATH + 1] = "";
    DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) {
        ADD_FAILURE() << "GetTempPathA failed: " << LastError();
        return;
    }
    // Process id, tick count and a counter: unique across parallel runs and within one.
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        CString path;
        path.Format("%skq-test-%lu-%lu-%ld", base, GetCurrentProcessId(), GetTickCount(),
                    InterlockedIncrement(&counter));
        if (CreateDirectoryA(path, nullptr)) {
            m_path = path;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "CreateDirectoryA(" << path << ") failed: " << LastError();
            return;
        }
    }
    ADD_FAILURE() << "no unique temp folder name under " << base;
}

void MakeDir(const CString& path) {
    ASSERT_TRUE(CreateDirectoryW(Wide(path).c_str(), nullptr))
        << "CreateDirectory(" << path << "): " << LastError();
}

void WriteFile(const CString& path, const std::string& content) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "CreateFile(" << path << "): " << LastError();
    DWORD written = 0;
    BOOL ok =
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    ASSERT_TRUE(ok) << "WriteFile(" << path << "): error " << error;
    ASSERT_EQ(written, content.size()) << path;
}

std::string ReadFile(const CString& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << path << ": " << LastError();
        return "";
    }
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ::ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        content.append(chunk, got);
    if (!ok)
        ADD_FAILURE() << "cannot read " << path << ": " << LastError();
    CloseHandle(file);
    return ok ? content : "";
}

bool Exists(const CString& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const CString& path) {
    return GetFileAttributesW(Wide(path).c_str());
}

void SetAttributes(const CString& path, DWORD attributes) {
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE;
    DWORD value = attributes & settable;
    // Zero would be refused; NORMAL means none of the marks.
    if (value == 0)
        value = FILE_ATTRIBUTE_NORMAL;
    ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), value))
        << "SetFileAttributes(" << path << ", 0x" << std::hex << value << "): " << LastError();
}

std::vector<std::string> List(const CString& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((Wide(folder) + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot list " << folder << ": " << LastError();
        return names;
    }
    do {
        std::string name = Ansi(entry.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// Works on wide names throughout, so that entries with no ANSI spelling go too.
void RemoveTreeWide(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    // Read-only or hidden entries refuse deletion until their marks are gone.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        EXPECT_TRUE(DeleteFileW(path.c_str()))
            << "DeleteFile(" << Ansi(path.c_str()) << "): " << LastError();
        return;
    }
    // A link is removed itself, not what it points to.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..")
                    names.push_back(name);
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        for (const std::wstring& name : names)
            RemoveTreeWide(path + L"\\" + name);
    }
    EXPECT_TRUE(RemoveDirectoryW(path.c_str()))
        << "RemoveDirectory(" << Ansi(path.c_str()) << "): " << LastError();
}

} // namespace

void RemoveTree(const CString& path) {
    RemoveTreeWide(Wide(path));
}

long OpenHandles() {
    DWORD count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &count) ? long(count) : -1;
}

} // namespace testfs
