// The main dialog's controller driven through its message map, with the folder browser scripted.
#include <gtest/gtest.h>

#include <algorithm>

#include "HeadlessWindow.h"
#include "PassTexts.h"
#include "HostProgramFile.h"
#include "HostSystemFolders.h"
#include "HostTestFs.h"
#include "ScriptedFolderPicker.h"
#include "TestFs.h"
#include "ui/ServicePackDlg.h"

using testfs::operator/;

namespace {

const char kChooseCaption[] = "1. Korvo-Hauptordner ausw\xE4hlen...";
const WORD kSetFocus = 6; // BN_SETFOCUS, which the logic never names

// The dialog as the user sees it, read back from its headless window.
struct View {
    explicit View(CDialog& dlg) : window(*dlg.m_hWnd) {}
    bool StartEnabled() const { return window.Child(IDC_START_INSTALLATION)->enabled; }
    std::string ChooseText() const { return window.Child(IDC_CHOOSE_FOLDER)->text; }
    const HeadlessWindow& window;
};

// A click as the user makes it: a disabled button takes none.
void Click(CDialog& dlg, int id) {
    if (dlg.m_hWnd->Child(id)->enabled)
        dlg.SendMessageA(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[MAX_PATH];
        ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, cwd));
        startDirectory = cwd;
        ASSERT_TRUE(SetCurrentDirectoryA(pack.Path()));
        testfs::WriteFile(pack / "install.exe", "installer");
        testfs::WriteFile(pack / "korvo.dat", "v2");
        SetHostProgramFile(pack / "install.exe");
        testfs::WriteFile(korvo / "korvo.dat", "v1");
    }
    void TearDown() override {
        SetCurrentDirectoryA(startDirectory);
        SetHeadlessModalScript(nullptr);
        SetHeadlessMessageBoxScript(nullptr);
        SetHostProgramFile(nullptr);
        SetHeadlessServeHook(nullptr);
        ScriptPicker({});
    }
    // Runs the dialog with script standing for the user; returns DoModal's result.
    INT_PTR Show(std::function<void(CServicePackDlg&, View&)> script) {
        CServicePackDlg dlg;
        SetHeadlessModalScript([&](CDialog&) {
            View view(dlg);
            script(dlg, view);
        });
        return dlg.DoModal();
    }

    CString startDirectory;
    testfs::TempDir pack;
    testfs::TempDir korvo;
    testfs::TempDir other;
};

TEST_F(Controller, StartsWithoutTargetAndTheCurrentDirectoryAsSource) {
    Show([&](CServicePackDlg& dlg, View& view) {
        EXPECT_EQ(kCaption, view.window.text);
        EXPECT_FALSE(view.StartEnabled());
        EXPECT_EQ(kChooseCaption, view.ChooseText());
        EXPECT_EQ(std::string(pack.Path()), std::string(dlg.SourceFolder()));
        EXPECT_TRUE(dlg.TargetFolder().IsEmpty());
        Click(dlg, IDC_START_INSTALLATION);
        EXPECT_TRUE(view.window.messageBoxes.empty()) << "start is disabled";
    });
}

TEST_F(Controller, SourceIsTheCurrentDirectoryOnlyWhereItHoldsTheRunningProgram) {
    // Longer than MAX_PATH, too: the folder is read whole.
    CString deep = other.Path();
    while (deep.GetLength() <= 300) {
        deep = deep / std::string(50, 'd').c_str();
        testfs::MakeDir(deep);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(deep));
    testfs::WriteFile(deep / "install.exe", "another program of that name");
    testfs::WriteFile(deep / "korvo.dat", "v3");
    std::string upper = std::string(deep / "install.exe");
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    // Its file however spelt; started by full path from that folder.
    const CString programs[] = {upper.c_str(), pack / "install.exe"},
                  sources[] = {deep, pack.Path()};
    for (int i = 0; i < 2; ++i) {
        SetHostProgramFile(programs[i]);
        ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
        Show([&](CServicePackDlg& dlg, View& view) {
            EXPECT_EQ(std::string(sources[i]), std::string(dlg.SourceFolder()));
            if (i > 0)
                return;
            // A pack folder too long for Windows is named as the pack's, not Korvo's.
            Click(dlg, IDC_CHOOSE_FOLDER);
            Click(dlg, IDC_START_INSTALLATION);
            ASSERT_EQ(1u, view.window.messageBoxes.size());
            EXPECT_NE(std::string::npos, view.window.messageBoxes[0].text.find(kSourcePathTooLong));
        });
    }
    EXPECT_EQ("v1", testfs::ReadFile(korvo / "korvo.dat"));
}

TEST_F(Controller, ChoosingStartingAndChoosingAgainFollowsTheStateTable) {
    ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
    INT_PTR result = Show([&](CServicePackDlg& dlg, View& view) {
        // The button taking the focus is no click: only the click below opens the browser.
        dlg.SendMessageA(WM_COMMAND, MAKEWPARAM(IDC_CHOOSE_FOLDER, kSetFocus), 0);
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_EQ(std::vector<std::string>{"Bitte Korvo-Installationsordner ausw\xE4hlen"},
                  PickerTitles());
        EXPECT_TRUE(view.StartEnabled());
        EXPECT_EQ(std::string(korvo.Path()), view.ChooseText());

        const HeadlessWindow& start = *view.window.Child(IDC_START_INSTALLATION);
        const int changes = start.textChanges;
        LRESULT endDuring = TRUE, endAtBox = FALSE, movedAtBox = FALSE;
        std::wstring reason;
        // Commands sent straight to the window during the pass (another program) are ignored.
        SetHeadlessServeHook([&](DWORD) {
            for (int id : {IDC_START_INSTALLATION, IDC_CHOOSE_FOLDER, IDCANCEL})
                dlg.SendMessageA(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
            endDuring = dlg.SendMessageA(WM_QUERYENDSESSION); // logoff while files change
            reason = view.window.shutdownBlockReason;
        });
        SetHeadlessMessageBoxScript([&](const HeadlessMessageBox&) {
            endAtBox = dlg.SendMessageA(WM_QUERYENDSESSION);
            const CString moved = CString(korvo.Path()) + "-weg";
            movedAtBox = MoveFileExA(korvo.Path(), moved, 0) && MoveFileExA(moved, korvo.Path(), 0);
            return IDOK;
        });
        Click(dlg, IDC_START_INSTALLATION);
        EXPECT_EQ(FALSE, endDuring);
        EXPECT_EQ(L"Das Korvo-Service-Pack wird installiert.", reason);
        EXPECT_EQ(TRUE, endAtBox) << "the closing box holds nothing up";
        EXPECT_TRUE(movedAtBox) << "nor is the Korvo folder held";
        EXPECT_EQ(0, dlg.ExitCode());
        EXPECT_EQ(TRUE, dlg.SendMessageA(WM_QUERYENDSESSION)) << "nor held after it";
        EXPECT_EQ(L"", view.window.shutdownBlockReason);
        EXPECT_EQ(1u, PickerTitles().size()) << "no browser during the pass";
        EXPECT_FALSE(view.window.ended);
        EXPECT_EQ(changes + 2, start.textChanges) << "the one file shown, then the text put back";
        EXPECT_EQ("3. Starte Installation", start.text);
        ASSERT_EQ(1u, view.window.messageBoxes.size());
        EXPECT_EQ(kCompleted, view.window.messageBoxes[0].text);
        EXPECT_TRUE(view.window.messageBoxes[0].waitCursor) << "busy while the pass runs";
        EXPECT_FALSE(HeadlessWaitCursorShown()) << "the cursor is back afterwards";
        EXPECT_TRUE(view.StartEnabled());
        EXPECT_EQ("v2", testfs::ReadFile(korvo / "korvo.dat"));
        EXPECT_FALSE(testfs::Exists(korvo / "install.exe"));

        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
}

TEST_F(Controller, CancellingTheFirstChoiceChangesNothing) {
    ScriptPicker({{false, "", nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_FALSE(view.StartEnabled());
        EXPECT_EQ(kChooseCaption, view.ChooseText());
        EXPECT_EQ(0, view.window.Child(IDC_CHOOSE_FOLDER)->textChanges);
        EXPECT_TRUE(dlg.TargetFolder().IsEmpty());
    });
}

TEST_F(Controller, CancellingALaterChoiceKeepsTheEarlierTarget) {
    ScriptPicker({{true, std::string(korvo.Path()), nullptr}, {false, "", nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_EQ(std::string(korvo.Path()), std::string(dlg.TargetFolder()));
        EXPECT_EQ(std::string(korvo.Path()), view.ChooseText());
        EXPECT_EQ(2, view.window.Child(IDC_CHOOSE_FOLDER)->textChanges) << "set again";
        EXPECT_TRUE(view.StartEnabled());
    });
}

TEST_F(Controller, ASecondChoiceWithoutThePacksFilesReplacesTheFirstOnceConfirmed) {
    ScriptPicker(
        {{true, std::string(korvo.Path()), nullptr}, {true, std::string(other.Path()), nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_EQ(std::string(other.Path()), std::string(dlg.TargetFolder()));
        EXPECT_EQ(std::string(other.Path()), view.ChooseText());
        Click(dlg, IDC_START_INSTALLATION);
        ASSERT_EQ(1u, view.window.messageBoxes.size());
        EXPECT_EQ("Der gew\xE4hlte Ordner enth\xE4lt keine Datei dieses Service-Packs. Ist er "
                  "wirklich der Korvo-Hauptordner?",
                  view.window.messageBoxes[0].text);
        EXPECT_EQ(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, view.window.messageBoxes[0].type);
        EXPECT_FALSE(testfs::Exists(other / "korvo.dat")) << "the default, Nein, copies nothing";
        SetHeadlessMessageBoxScript([](const HeadlessMessageBox& box) {
            return (box.type & 0xF) == MB_YESNO ? IDYES : IDOK;
        });
        Click(dlg, IDC_START_INSTALLATION);
        // A pack with nothing to install asks nothing: the pass tells so.
        testfs::RemoveTree(pack / "korvo.dat");
        Click(dlg, IDC_START_INSTALLATION);
        ASSERT_EQ(4u, view.window.messageBoxes.size());
        EXPECT_EQ(MB_OK | MB_ICONERROR, view.window.messageBoxes[3].type);
    });
    EXPECT_TRUE(testfs::Exists(other / "korvo.dat"));
    EXPECT_EQ("v1", testfs::ReadFile(korvo / "korvo.dat"));
}

TEST_F(Controller, StartingTwiceRunsTheWholePassTwice) {
    ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_START_INSTALLATION);
        testfs::WriteFile(korvo / "korvo.dat", "changed by the user");
        testfs::WriteFile(pack / "added.txt", "new in the pack");
        Click(dlg, IDC_START_INSTALLATION);
        ASSERT_EQ(2u, view.window.messageBoxes.size());
        EXPECT_EQ(kCompleted, view.window.messageBoxes[1].text);
    });
    EXPECT_EQ("v2", testfs::ReadFile(korvo / "korvo.dat"));
    EXPECT_EQ("new in the pack", testfs::ReadFile(korvo / "added.txt"));
}

TEST_F(Controller, StartPressedWhileTheBrowserIsOpenUsesTheTargetHeldThen) {
    CServicePackDlg* shown = nullptr;
    ScriptPicker(
        {{true, std::string(korvo.Path()), nullptr}, {true, std::string(other.Path()), [&] {
                                                          // The browser has no owner: the dialog
                                                          // still takes clicks.
                                                          Click(*shown, IDC_START_INSTALLATION);
                                                      }}});
    Show([&](CServicePackDlg& dlg, View& view) {
        shown = &dlg;
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_EQ(1u, view.window.messageBoxes.size());
        EXPECT_EQ(std::string(other.Path()), view.ChooseText());
    });
    EXPECT_TRUE(testfs::Exists(korvo / "korvo.dat")) << "installed into the target held then";
    EXPECT_FALSE(testfs::Exists(other / "korvo.dat"));
}

TEST_F(Controller, StartedInTheSystemFolderInstallsNothingButFromAFolderBelowIt) {
    // An elevated start that is not given its folder lands in the system folder.
    const CString system = other / "system32", below = system / "Pack";
    testfs::MakeDir(system);
    testfs::MakeDir(below);
    testfs::WriteFile(system / "kernel32.dll", "system");
    testfs::WriteFile(below / "korvo.dat", "v3");
    SetHostWindowsFolder(other.Path());
    for (const CString& folder : {system, below}) {
        testfs::WriteFile(folder / "install.exe", "installer");
        SetHostProgramFile(folder / "install.exe");
        ASSERT_TRUE(SetCurrentDirectoryA(folder));
        ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
        Show([&](CServicePackDlg& dlg, View&) {
            Click(dlg, IDC_CHOOSE_FOLDER);
            Click(dlg, IDC_START_INSTALLATION);
        });
    }
    SetHostWindowsFolder(nullptr);
    EXPECT_EQ(std::vector<std::string>{"korvo.dat"}, testfs::List(korvo.Path()));
    EXPECT_EQ("v3", testfs::ReadFile(korvo / "korvo.dat"));
}

TEST_F(Controller, AFolderGivenAtStartIsChosenAsInTheBrowser) {
    CServicePackDlg dlg;
    dlg.Prepare(korvo.Path(), nullptr);
    SetHeadlessModalScript([&](CDialog&) {
        EXPECT_TRUE(View(dlg).StartEnabled());
        EXPECT_EQ(std::string(korvo.Path()), View(dlg).ChooseText());
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(1602, dlg.ExitCode()) << "no pass ran";
}

TEST_F(Controller, AnOlderPackReplacesNewerKorvoFilesOnlyOnceTheUserSaysSo) {
    // Built by the cross compiler from tests/common/versioned.rc.
    const std::string older = testfs::ReadPosixFile(KQ_VERSIONED_DIR "/versioned-3.1.9.5.dll"),
                      newer = testfs::ReadPosixFile(KQ_VERSIONED_DIR "/versioned-3.2.0.1.dll");
    const struct {
        const char* what;
        std::string korvo, pack;
        bool asked;
    } cases[] = {
        {"an older Korvo file", older, newer, false},
        {"the same version, other bytes", newer, newer + "x", false},
        {"a Korvo file that is no program", "kein Programm", older, false},
        {"a pack file that is no program", newer, "kein Programm", false},
        {"a pack file that begins as one, with no version block", newer, "MZ kein Programm", false},
        {"a newer Korvo file", newer, older, true},
    };
    ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        const auto& boxes = view.window.messageBoxes;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            testfs::WriteFile(korvo / "KORVO.EXE", c.korvo);
            testfs::WriteFile(korvo / "korvo.dat", "v1");
            testfs::WriteFile(pack / "KORVO.EXE", c.pack);
            const size_t before = boxes.size();
            SetHeadlessMessageBoxScript(nullptr); // the default, Nein
            Click(dlg, IDC_START_INSTALLATION);
            ASSERT_EQ(before + 1, boxes.size());
            if (!c.asked) {
                EXPECT_EQ(kCompleted, boxes.back().text);
                EXPECT_EQ(c.pack, testfs::ReadFile(korvo / "KORVO.EXE"));
                continue;
            }
            EXPECT_EQ("Dieses Service-Pack ist \xE4lter als das installierte Korvo.\n\nKORVO.EXE: "
                      "installiert 3.2.0.1, im Service-Pack 3.1.9.5\n\nSoll es trotzdem "
                      "installiert werden? Neuere Dateien werden dann durch \xE4ltere ersetzt.",
                      boxes.back().text);
            EXPECT_EQ(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, boxes.back().type);
            // Nein: nothing changed, no closing box, and the last pass's exit code kept.
            EXPECT_EQ(c.korvo, testfs::ReadFile(korvo / "KORVO.EXE"));
            EXPECT_EQ((std::vector<std::string>{"KORVO.EXE", "korvo.dat"}),
                      testfs::List(korvo.Path()));
            EXPECT_EQ("v1", testfs::ReadFile(korvo / "korvo.dat"));
            EXPECT_EQ(0, dlg.ExitCode());
            SetHeadlessMessageBoxScript([](const HeadlessMessageBox& box) {
                return (box.type & 0xF) == MB_YESNO ? IDYES : IDOK;
            });
            Click(dlg, IDC_START_INSTALLATION);
            ASSERT_EQ(before + 3, boxes.size());
            EXPECT_EQ(kCompleted, boxes.back().text);
            EXPECT_EQ(c.pack, testfs::ReadFile(korvo / "KORVO.EXE"));
        }
    });
}

TEST_F(Controller, ExitEndsTheDialogWithCancel) {
    EXPECT_EQ(IDCANCEL, Show([&](CServicePackDlg& dlg, View&) { Click(dlg, IDCANCEL); }));
    EXPECT_EQ(-1, Show([&](CServicePackDlg&, View&) {})) << "not ended without Exit";
}

} // namespace
