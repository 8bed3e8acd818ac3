// The stand-in's ANSI code page is Windows-1252 itself: every name is held as it is.
#include "AnsiName.h"

bool AnsiNameFrom1252(const char* name, CString& ansi) {
    ansi = name;
    return true;
}
