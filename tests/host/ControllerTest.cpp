// The main dialog's controller driven through its message map, with the folder browser scripted.
#include <gtest/gtest.h>

#include "HeadlessWindow.h"
#include "PassTexts.h"
#include "HostSystemFolders.h"
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
    }
    void TearDown() override {
        SetCurrentDirectoryA(startDirectory);
        SetHeadlessModalScript(nullptr);
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

TEST_F(Controller, SourceIsWhateverTheCurrentDirectoryIsAtInitialisation) {
    // Longer than MAX_PATH, too: the folder is read whole.
    CString deep = other.Path();
    while (deep.GetLength() <= 300) {
        deep = deep / std::string(50, 'd').c_str();
        testfs::MakeDir(deep);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(deep));
    testfs::WriteFile(deep / "stray.txt", "not from the pack");
    ScriptPicker({{true, std::string(korvo.Path()), nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        ASSERT_TRUE(SetCurrentDirectoryA(pack.Path()));
        EXPECT_EQ(std::string(deep), std::string(dlg.SourceFolder()));
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_START_INSTALLATION);
        ASSERT_EQ(1u, view.window.messageBoxes.size());
        EXPECT_NE(std::string::npos, view.window.messageBoxes[0].text.find(kSourcePathTooLong));
    });
    EXPECT_TRUE(testfs::List(korvo.Path()).empty());
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
        Click(dlg, IDC_START_INSTALLATION);
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

TEST_F(Controller, ASecondChoiceReplacesTheFirst) {
    ScriptPicker(
        {{true, std::string(korvo.Path()), nullptr}, {true, std::string(other.Path()), nullptr}});
    Show([&](CServicePackDlg& dlg, View& view) {
        Click(dlg, IDC_CHOOSE_FOLDER);
        Click(dlg, IDC_CHOOSE_FOLDER);
        EXPECT_EQ(std::string(other.Path()), std::string(dlg.TargetFolder()));
        EXPECT_EQ(std::string(other.Path()), view.ChooseText());
        Click(dlg, IDC_START_INSTALLATION);
    });
    EXPECT_TRUE(testfs::Exists(other / "korvo.dat"));
    EXPECT_FALSE(testfs::Exists(korvo / "korvo.dat"));
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

TEST_F(Controller, ExitEndsTheDialogWithCancel) {
    EXPECT_EQ(IDCANCEL, Show([&](CServicePackDlg& dlg, View&) { Click(dlg, IDCANCEL); }));
    EXPECT_EQ(-1, Show([&](CServicePackDlg&, View&) {})) << "not ended without Exit";
}

} // namespace
