// Holds a file as another program does (a virus scanner, Korvo still running): opened with no
// sharing, so that Windows refuses its rename, delete and overwrite meanwhile.
//
//   HoldFile <file> <ms> <appears>
//
// Prints "held" once the file is open, and lets go <ms> after the file <appears> (the
// installer's temporary file: the installer has met the hold by then) comes; prints "waited"
// if that file was still there as it let go, so the installer was waiting for the file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    HANDLE file = argc != 4 ? INVALID_HANDLE_VALUE
                            : CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (DWORD start = GetTickCount(); GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES;)
        if (GetTickCount() - start > 60000)
            return 1;
        else
            Sleep(5);
    Sleep(std::strtoul(argv[2], nullptr, 10));
    if (GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES)
        std::printf("waited\n");
    CloseHandle(file);
    return 0;
}
