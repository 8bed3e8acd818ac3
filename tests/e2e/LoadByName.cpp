// The planting check's control: loads each DLL named on the command line by its bare name,
// with the system's default search and no restriction, as an unprotected program would. It
// shows that the check can see a planted DLL being loaded.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        printf("%s: %s\n", argv[i], LoadLibraryA(argv[i]) ? "loaded" : "not loaded");
    return 0;
}
