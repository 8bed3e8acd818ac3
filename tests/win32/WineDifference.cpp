#include "WineDifference.h"

#include "WinApi.h"

bool RunningUnderWine() {
    // Wine's ntdll exports its version; Windows' never does.
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

// Wine takes its loader lock and its window lock in either order. A test's driver thread that
// first reaches a window while the main thread loads the common controls (whose start-up
// registers window classes) or the display driver can deadlock with it, and the test hangs in
// its first browser or message box. So what those load on first use is loaded here, on the
// main thread, before any test starts a second thread.
class LoadedBeforeDrivers : public ::testing::Environment {
    void SetUp() override {
        for (const char* name : {"comctl32.dll", "uxtheme.dll", "msimg32.dll"})
            ASSERT_TRUE(LoadLibraryA(name)) << name << ": error " << GetLastError();
        // The display driver comes with the first window.
        HWND window =
            CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window) << "error " << GetLastError();
        DestroyWindow(window);
    }
};

::testing::Environment* const kLoaded =
    ::testing::AddGlobalTestEnvironment(new LoadedBeforeDrivers);

} // namespace
