// The retry rules: which failures are another program's hold, and how long the pass waits.
#include <gtest/gtest.h>

#include <numeric>

#include "HeadlessWindow.h"
#include "HostTestFs.h"
#include "install/Retry.h"

using testfs::operator/;

TEST(Retry, OnlyHoldsAreWaitedForAndOnlyForAboutOneSecondAFileAndTwoAPass) {
    testfs::TempDir dir;
    const CString plain = dir / "korvo.dll", readOnly = dir / "ro.dll";
    testfs::WriteFile(plain, "");
    testfs::WriteFile(readOnly, "");
    testfs::SetAttributes(readOnly, FILE_ATTRIBUTE_READONLY);
    // A byte-range lock is a hold, and so is access denied to a file that is not read-only.
    EXPECT_EQ(Cause::InUse, CauseOf(ERROR_LOCK_VIOLATION, plain));
    EXPECT_EQ(Cause::InUse, CauseOf(ERROR_ACCESS_DENIED, plain));
    EXPECT_EQ(Cause::Other, CauseOf(ERROR_ACCESS_DENIED, readOnly));

    std::vector<DWORD> waits;
    SetHeadlessServeHook([&](DWORD ms) { waits.push_back(ms); });
    CKeepAlive alive(nullptr);
    CRetryBudget retry(alive);
    // The waits for one file that fails with error until the budget says no; that error stays.
    const auto waitsFor = [&](DWORD error, const CString& path) {
        waits.clear();
        retry.StartFile();
        do
            SetLastError(error);
        while (retry.Again(path));
        EXPECT_EQ(error, GetLastError());
        for (DWORD ms : waits)
            EXPECT_LE(ms, 250u) << "a hold that ends is noticed within a quarter second";
        return std::accumulate(waits.begin(), waits.end(), 0u);
    };
    EXPECT_EQ(0u, waitsFor(ERROR_ACCESS_DENIED, readOnly));
    EXPECT_EQ(1100u, waitsFor(ERROR_LOCK_VIOLATION, plain));
    EXPECT_EQ(900u, waitsFor(ERROR_SHARING_VIOLATION, plain)) << "two seconds for the pass";
    EXPECT_EQ(0u, waitsFor(ERROR_ACCESS_DENIED, plain));
    SetHeadlessServeHook(nullptr);
}
