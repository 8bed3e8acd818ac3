// The Linux build's windows have no pixels: each one records what was done to it, so that
// tests can read back captions, control texts, enabled states and message boxes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Wnd.h"

struct HeadlessMessageBox {
    std::string text;
    std::string caption;
    UINT type;
    bool waitCursor; // whether the wait cursor was up when the box appeared
};

struct HeadlessWindow {
    int id = 0;
    std::string text;
    bool enabled = true;
    int textChanges = 0;
    int updateDataCalls = 0;
    std::vector<HeadlessMessageBox> messageBoxes;
    std::vector<std::unique_ptr<HeadlessWindow>> children;
    CWnd* wnd = nullptr; // takes the window's messages
    bool ended = false;
    int endResult = 0;
    std::wstring shutdownBlockReason; // empty: none

    HeadlessWindow* Child(int childId) const;
};

struct HeadlessControl {
    int id;
    const char* text;
};

// The controls a dialog template holds, for dialogs made from it in this build.
void RegisterHeadlessTemplate(UINT templateId, std::vector<HeadlessControl> controls);

// DoModal makes the window, runs OnInitDialog and then this script, which stands for the user
// while the dialog is up; the window goes away when the script returns.
void SetHeadlessModalScript(std::function<void(CDialog&)> script);

// Answers each message box from then on, after it is recorded; null (the default) answers with
// the box's default button, as Enter would.
void SetHeadlessMessageBoxScript(std::function<int(const HeadlessMessageBox&)> script);

// Attaches a fresh headless window to wnd, for code that needs a window of its own.
std::unique_ptr<HeadlessWindow> MakeHeadlessWindow(CWnd& wnd);

// Called whenever a long job serves its windows: by CKeepAlive::Serve with 0, by
// CKeepAlive::Wait with the milliseconds it waits. Stands for what reaches the windows meanwhile
// (a command another program sends); tests also count the calls. nullptr: nothing.
void SetHeadlessServeHook(std::function<void(DWORD waitMs)> hook);

// True while a CWaitCursor lives.
bool HeadlessWaitCursorShown();
