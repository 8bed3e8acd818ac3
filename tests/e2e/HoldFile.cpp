// Holds a file as another program does (a virus scanner, Korvo still running): opened with no
// sharing at all, so that Windows refuses its rename, delete and overwrite meanwhile.
//
//   HoldFile <file> <ms> <appears>   lets go <ms> after the file <appears> exists (the
//                                    installer's temporary file: it has met the hold by then)
//   HoldFile <file> forever          until it is killed
//
// Prints "held" once the file is open and, for a moment's hold, "waited" when <appears> was
// still there as it let go (the installer was still waiting for the file). Exit status 1 when
// the file cannot be opened or <appears> does not come within a minute.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const bool forever = argc == 3 && std::strcmp(argv[2], "forever") == 0;
    if (!forever && argc != 4) {
        std::fprintf(stderr, "usage: HoldFile <file> <ms> <appears> | <file> forever\n");
        return 2;
    }
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    if (forever) {
        Sleep(INFINITE);
        return 0;
    }
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 60000)
            return 1;
        Sleep(5);
    }
    Sleep(std::strtoul(argv[2], nullptr, 10));
    const bool waited = GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES;
    CloseHandle(file);
    if (waited)
        std::printf("waited\n");
    return 0;
}
