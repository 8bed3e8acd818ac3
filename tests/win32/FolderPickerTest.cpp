// CFolderPicker against the real shell browser: a driver thread finds the browser that Browse
// opens, works it through its window messages as a user would, and closes it.
#include "ui/FolderPicker.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <shlobj.h>
#include <gtest/gtest.h>

#include "ForeignWindow.h"
#include "TestFs.h"
#include "WineDifference.h"

namespace {

// The control ids of the shell's classic browser template (Wine uses the same ones).
const int kTreeId = 0x3741;
const int kTitleId = 0x3742;
const int kStatusId = 0x3743;

const DWORD kReplyTimeoutMs = 5000;
const auto kAppearTimeout = std::chrono::seconds(60);
const auto kCloseTimeout = std::chrono::seconds(10);

const char kGermanTitle[] = "Bitte Korvo-Installationsordner ausw\xE4hlen";

std::string TextOf(HWND window) {
    return foreign::Text(window, kReplyTimeoutMs, "<no answer>");
}

// The browser as a user sees it, driven from another thread than the one running Browse.
class Browser {
public:
    explicit Browser(HWND window) : m_window(window) {}

    HWND Window() const { return m_window; }
    HWND Owner() const { return GetWindow(m_window, GW_OWNER); }
    std::string Title() const { return TextOf(GetDlgItem(m_window, kTitleId)); }
    std::string Status() const { return TextOf(GetDlgItem(m_window, kStatusId)); }
    bool StatusVisible() const { return IsWindowVisible(GetDlgItem(m_window, kStatusId)); }
    bool OkEnabled() const { return IsWindowEnabled(GetDlgItem(m_window, IDOK)); }

    // Moves the selection as a click in the tree would; the browser notifies the callback.
    void Select(const char* path) const { Send(BFFM_SETSELECTIONA, TRUE, path); }
    void Select(PCIDLIST_ABSOLUTE item) const { Send(BFFM_SETSELECTIONA, FALSE, item); }

    // The text of the tree's top item, where browsing starts.
    std::string RootText() const {
        HWND tree = GetDlgItem(m_window, kTreeId);
        DWORD_PTR root = 0;
        SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                            &root);
        char text[MAX_PATH] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = reinterpret_cast<HTREEITEM>(root);
        item.pszText = text;
        item.cchTextMax = sizeof text;
        // Same process: the tree can write into this thread's buffer.
        SendMessageTimeoutA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item),
                            SMTO_ABORTIFHUNG, kReplyTimeoutMs, nullptr);
        return text;
    }

    // WM_COMMAND as the button sends it; it also reaches the browser when the button is grey.
    void Press(int id) const { foreign::Press(m_window, id); }
    void CloseBox() const { PostMessageA(m_window, WM_SYSCOMMAND, SC_CLOSE, 0); }

    bool WaitGone(std::chrono::milliseconds limit) const {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (IsWindow(m_window)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            Sleep(10);
        }
        return true;
    }

private:
    template <typename T> void Send(UINT message, WPARAM wParam, T lParam) const {
        SendMessageTimeoutA(m_window, message, wParam, (LPARAM)lParam, SMTO_ABORTIFHUNG,
                            kReplyTimeoutMs, nullptr);
    }

    HWND m_window;
};

BOOL CALLBACK KeepIfBrowser(HWND window, LPARAM data) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !foreign::IsDialog(window) ||
        !IsWindowVisible(window) || !GetDlgItem(window, kTreeId))
        return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

// A visible dialog of this process that holds the shell's folder tree.
HWND FindBrowser() {
    HWND found = nullptr;
    EnumWindows(KeepIfBrowser, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct BrowseRun {
    int result = -1;
    bool appeared = false;
    bool forcedClosed = false; // the script left the browser open
};

// Runs picker.Browse() here while the script works the browser on a driver thread.
BrowseRun RunBrowse(CFolderPicker& picker, const std::function<void(const Browser&)>& script) {
    BrowseRun run;
    std::atomic<bool> returned(false);
    std::thread driver([&] {
        auto deadline = std::chrono::steady_clock::now() + kAppearTimeout;
        // Until its thread is in the browser's loop: set up and ready for input. The first
        // browser of a fresh prefix can take its time.
        HWND window = nullptr;
        bool ready = false;
        while (!returned && std::chrono::steady_clock::now() < deadline &&
               !(ready = (window = FindBrowser()) && foreign::Answers(window, kReplyTimeoutMs)))
            Sleep(10);
        if (!ready) {
            // One that comes up too late is cancelled, so that the test fails instead of hanging.
            for (; !returned; Sleep(100))
                if (HWND late = FindBrowser())
                    foreign::Press(late, IDCANCEL);
            return;
        }
        run.appeared = true;
        Browser browser(window);
        script(browser);
        if (!browser.WaitGone(kCloseTimeout)) {
            run.forcedClosed = true;
            browser.Press(IDCANCEL);
            browser.WaitGone(kCloseTimeout);
        }
    });
    run.result = picker.Browse();
    returned = true;
    driver.join();
    return run;
}

// Wine's browser finds a selection by comparing item ids byte for byte, and a folder's id holds
// its last-access time, which Linux moves on the first listing after a change (relatime): a
// folder that the tree lists between building its item and the lookup is then not found. An
// access time set ahead of the folder's change times stays put, so the ids stay equal.
void SettleAccessTime(const CString& folder) {
    HANDLE handle = CreateFileA(folder, FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << folder << ": error " << GetLastError();
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ahead = {{now.dwLowDateTime, now.dwHighDateTime}};
    ahead.QuadPart += 3600ull * 10000000; // an hour, in 100 ns units
    FILETIME accessed = {ahead.LowPart, ahead.HighPart};
    EXPECT_TRUE(SetFileTime(handle, nullptr, &accessed, nullptr)) << folder;
    CloseHandle(handle);
}

// The folder, every folder in it and every folder above it.
void SettleAccessTimes(const CString& folder) {
    for (int i = 3; i < folder.GetLength(); ++i)
        if (folder[i] == '\\')
            SettleAccessTime(folder.Left(i));
    std::vector<CString> pending = {folder};
    while (!pending.empty()) {
        CString current = pending.back();
        pending.pop_back();
        SettleAccessTime(current);
        for (const std::string& name : testfs::List(current)) {
            CString child = current + "\\" + name.c_str();
            if (testfs::Attributes(child) & FILE_ATTRIBUTE_DIRECTORY)
                pending.push_back(child);
        }
    }
}

// The path as the shell spells it: GetTempPathA may hand out 8.3 short names.
CString LongPath(const CString& path) {
    char full[MAX_PATH] = "";
    DWORD length = GetLongPathNameA(path, full, sizeof full);
    EXPECT_TRUE(length > 0 && length < sizeof full) << "GetLongPathNameA(" << path << ")";
    return full;
}

// A CString left consistent: its length is that of its text, within the shell's buffer.
void ExpectWellFormed(const CFolderPicker& picker) {
    EXPECT_EQ(static_cast<size_t>(picker.m_path.GetLength()), strlen(picker.m_path));
    EXPECT_LE(picker.m_path.GetLength(), MAX_PATH);
}

struct ItemIdList {
    explicit ItemIdList(int folder) {
        EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, folder, &item), S_OK);
    }
    ~ItemIdList() { CoTaskMemFree(item); }
    PIDLIST_ABSOLUTE item = nullptr;
};

class FolderPickerBrowse : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = LongPath(m_temp.Path());
        testfs::MakeDir(m_folder + "\\Erster");
        testfs::MakeDir(m_folder + "\\Zweiter Ordner mit langem Namen");
    }

    // Browse with the folders made so far ready for the browser.
    BrowseRun Browse(const std::function<void(const Browser&)>& script) {
        SettleAccessTimes(m_folder);
        return RunBrowse(m_picker, script);
    }
    // Browse, the script selecting folder and pressing button.
    template <typename Folder> BrowseRun Choose(Folder folder, int button) {
        return Browse([&](const Browser& b) {
            b.Select(folder);
            b.Press(button);
        });
    }

    // The script's way out closed the browser, Browse returned 0 and left m_path consistent.
    void ExpectNothingChosen(const BrowseRun& run) {
        ASSERT_TRUE(run.appeared);
        EXPECT_FALSE(run.forcedClosed) << "the browser stayed up";
        EXPECT_EQ(run.result, 0);
        ExpectWellFormed(m_picker);
    }
    // Browse returned 1 and exactly that path.
    void ExpectChosen(const BrowseRun& run, const CString& chosen) {
        ASSERT_TRUE(run.appeared);
        EXPECT_FALSE(run.forcedClosed);
        EXPECT_EQ(run.result, 1);
        EXPECT_STREQ(m_picker.m_path, chosen);
        EXPECT_EQ(m_picker.m_path.GetLength(), chosen.GetLength());
    }

    testfs::TempDir m_temp;
    CString m_folder; // m_temp's full long path
    CFolderPicker m_picker;
};

TEST_F(FolderPickerBrowse, CancelReturnsZero) {
    m_picker.m_title = kGermanTitle;
    ExpectNothingChosen(Choose(m_folder, IDCANCEL));
}

TEST_F(FolderPickerBrowse, ClosingTheWindowReturnsZero) {
    ExpectNothingChosen(Browse([&](const Browser& b) {
        b.Select(m_folder);
        b.CloseBox();
    }));
}

TEST_F(FolderPickerBrowse, ChosenFolderReturnsItsFullPath) {
    CString chosen = m_folder + "\\Erster";
    ExpectChosen(Choose(chosen, IDOK), chosen);
}

TEST_F(FolderPickerBrowse, DriveRootIsThreeCharacters) {
    std::string status;
    BrowseRun run = Browse([&](const Browser& b) {
        b.Select("C:\\");
        status = b.Status();
        b.Press(IDOK);
    });
    ExpectChosen(run, "C:\\");
    EXPECT_EQ(m_picker.m_path.GetLength(), 3);
    EXPECT_EQ(status, "C:\\");
}

// The second choice replaces the first whole, though it is shorter.
TEST_F(FolderPickerBrowse, SecondBrowseReplacesTheFirstPath) {
    CString longer = m_folder + "\\Zweiter Ordner mit langem Namen";
    CString shorter = m_folder + "\\Erster";
    for (const CString& chosen : {longer, shorter})
        ASSERT_NO_FATAL_FAILURE(ExpectChosen(Choose(chosen, IDOK), chosen));
}

// Near the longest folder path Windows creates (248): the whole path fits the 260 buffers.
TEST_F(FolderPickerBrowse, DeepFolderPathComesBackWhole) {
    CString deep = m_folder;
    while (deep.GetLength() < 200)
        deep += "\\tief";
    deep += '\\';
    deep += std::string(size_t(240 - deep.GetLength()), 'x').c_str();
    // Each level exists before the next is made.
    for (int i = m_folder.GetLength() + 1; i <= deep.GetLength(); ++i)
        if (i == deep.GetLength() || deep[i] == '\\')
            testfs::MakeDir(deep.Left(i));
    ASSERT_TRUE(testfs::Exists(deep));

    std::string status;
    BrowseRun run = Browse([&](const Browser& b) {
        b.Select(deep);
        status = b.Status();
        b.Press(IDOK);
    });
    ExpectChosen(run, deep);
    EXPECT_EQ(status, std::string(deep));
}

// Names travel as ANSI bytes: "ä" must come back as 0xE4 in the 1252 code page.
TEST_F(FolderPickerBrowse, AnsiFolderNameComesBackAsAnsiBytes) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page is " << GetACP() << ", not 1252";
    CString chosen = m_folder + "\\Korvo \xC4nderungen \xFC\xDF";
    testfs::MakeDir(chosen);
    ExpectChosen(Choose(chosen, IDOK), chosen);
}

// An item the file system does not know (My Computer) yields no path even when confirmed.
TEST_F(FolderPickerBrowse, ItemWithoutFileSystemPathReturnsZero) {
    ItemIdList computer(CSIDL_DRIVES);
    ASSERT_NE(computer.item, nullptr);
    SCOPED_TRACE("OK pressed on My Computer");
    ExpectNothingChosen(Choose(computer.item, IDOK));
}

class FolderPickerShows : public FolderPickerBrowse {};

TEST_F(FolderPickerShows, TitleAboveTheTree) {
    m_picker.m_title = kGermanTitle;
    std::string title;
    BrowseRun run = Browse([&](const Browser& b) {
        title = b.Title();
        b.Press(IDCANCEL);
    });
    ASSERT_TRUE(run.appeared);
    EXPECT_EQ(title, kGermanTitle);
}

// No owner keeps the main dialog usable; no root starts the tree at the desktop.
TEST_F(FolderPickerShows, UnownedBrowserStartingAtTheDesktop) {
    HWND owner = reinterpret_cast<HWND>(1);
    std::string root;
    BrowseRun run = Browse([&](const Browser& b) {
        owner = b.Owner();
        root = b.RootText();
        b.Press(IDCANCEL);
    });
    ASSERT_TRUE(run.appeared);
    EXPECT_EQ(owner, nullptr);

    ItemIdList desktop(CSIDL_DESKTOP);
    SHFILEINFOA info = {};
    ASSERT_TRUE(SHGetFileInfoA(reinterpret_cast<LPCSTR>(desktop.item), 0, &info, sizeof info,
                               SHGFI_PIDL | SHGFI_DISPLAYNAME));
    EXPECT_EQ(root, info.szDisplayName);
}

// The status line shows each selected folder's full path and keeps it for items without one;
// OK is offered for file-system folders only.
TEST_F(FolderPickerShows, StatusLineFollowsTheSelection) {
    CString first = m_folder + "\\Erster";
    CString second = m_folder + "\\Zweiter Ordner mit langem Namen";
    ItemIdList computer(CSIDL_DRIVES);
    struct Seen {
        bool statusVisible;
        std::string first, second, computer, again;
        bool okOnFolder, okOnComputer;
    } seen = {};
    BrowseRun run = Browse([&](const Browser& b) {
        seen.statusVisible = b.StatusVisible();
        b.Select(first);
        seen.first = b.Status();
        seen.okOnFolder = b.OkEnabled();
        b.Select(second);
        seen.second = b.Status();
        b.Select(computer.item);
        seen.computer = b.Status();
        seen.okOnComputer = b.OkEnabled();
        b.Select(first);
        seen.again = b.Status();
        b.Press(IDCANCEL);
    });
    ASSERT_TRUE(run.appeared);
    EXPECT_TRUE(seen.statusVisible);
    EXPECT_EQ(seen.first, std::string(first));
    EXPECT_EQ(seen.second, std::string(second));
    EXPECT_EQ(seen.computer, std::string(second)) << "an item without a path changed the status";
    EXPECT_EQ(seen.again, std::string(first));
    EXPECT_TRUE(seen.okOnFolder);
    EXPECT_FALSE(seen.okOnComputer);
}

} // namespace
