// The application object's registry, the start-up of the process and WinMain.
#include "WinApp.h"

#include <mbctype.h>

#include "CallbackGuard.h"
#include "OptionalApi.h"
#include "Wnd.h"

namespace {

CWinApp* theApp = nullptr;

const char kUnexpectedError[] = "Das Programm wurde wegen eines unerwarteten Fehlers beendet. "
                                "Bitte starten Sie es erneut.";

// Without this, a LoadLibrary by name (ours, or one that user32, shell32 or comctl32 make on
// our behalf, such as uxtheme.dll or version.dll) looks in the program's own folder and the
// current directory first. The installer starts from a download or medium folder that holds
// whatever else came with it, so only the system folder may supply DLLs. The DLLs of the
// import table are loaded by the system before any code of ours runs; those are why the
// program imports nothing but system DLLs.
void RestrictDllSearch() {
    if (auto setDefaultDllDirectories = optional_api::SetDefaultDllDirectories())
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Takes the current directory out of the search where the call above is missing.
    SetDllDirectoryA("");
}

// Before every other static initialiser of the program (101 is the first priority left to
// user code), so no constructor can make a DLL load sooner. The name comparisons of the
// installation logic follow the ANSI code page from here on.
struct EarlyStartUp {
    EarlyStartUp() {
        RestrictDllSearch();
        _setmbcp(_MB_CP_ANSI);
    }
};
EarlyStartUp earlyStartUp __attribute__((init_priority(101)));

CString ExecutableName() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return CString();
    char name[_MAX_FNAME] = "";
    _splitpath(path, nullptr, nullptr, name, nullptr);
    return CString(name);
}

} // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName) : m_appName(appName ? CString(appName) : ExecutableName()) {
    m_pszAppName = m_appName;
    if (!theApp)
        theApp = this;
}

CWinApp::~CWinApp() {
    if (theApp == this)
        theApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    m_inMessageLoop = true;
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        HWND main = m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr;
        if (!main || !IsDialogMessageW(main, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        callback_guard::RethrowKept();
    }
    m_inMessageLoop = false;
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

void CWinApp::OnHelp() {}

BOOL CWinApp::Enable3dControls() {
    return TRUE;
}

CWinApp* AfxGetApp() {
    return theApp;
}

HINSTANCE AfxGetResourceHandle() {
    if (theApp && theApp->m_hInstance)
        return theApp->m_hInstance;
    return GetModuleHandleA(nullptr);
}

void AfxEnableControlContainer() {}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    try {
        app->m_hInstance = instance;
        if (!app->InitInstance())
            return app->ExitInstance();
        return app->Run();
    } catch (...) {
        return app->OnUnexpectedError();
    }
}

int CWinApp::OnUnexpectedError() {
    // Whatever the installer was doing is unfinished; say so rather than vanish. No window is
    // left to own the box.
    CWnd none;
    none.ShowMessageBox(kUnexpectedError, ErrorCaption(), MB_OK | MB_ICONERROR);
    return 1;
}
