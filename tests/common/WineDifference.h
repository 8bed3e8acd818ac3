// Marks a case where Wine is known to differ from Windows: the case is skipped under Wine
// with the reason printed, and still asserted natively and on Windows.
#pragma once

#include <gtest/gtest.h>

bool RunningUnderWine();

#define SKIP_UNDER_WINE(reason)                                                                    \
    do {                                                                                           \
        if (RunningUnderWine())                                                                    \
            GTEST_SKIP() << "Wine differs from Windows here: " << reason;                          \
    } while (0)
