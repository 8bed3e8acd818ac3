// A name the program carries in Windows-1252 (a vendor's list of files) spelt as the listings
// spell it, in the ANSI code page, so that the two compare byte for byte.
#pragma once

#include <string_view>

#include "CString.h"

// False when the ANSI code page cannot hold the name: then each character it lacks is '?', as
// a listing gives it, and no listed name of that spelling is ever met.
bool AnsiNameFrom1252(const char* name, CString& ansi);

// A name from the command line (UTF-16) in the ANSI code page; false as above.
bool AnsiNameFromWide(std::wstring_view name, CString& ansi);
