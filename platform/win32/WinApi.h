// The Win32 and runtime names the installation logic uses, from the real platform.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <stdlib.h>
#include <mbstring.h>
