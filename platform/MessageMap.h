// Static message maps: each window class binds its messages through one const table of
// {message, notification code, control id, handler}, dispatched by shared code on every build.
#pragma once

#include "WinApi.h"

class CCmdTarget;
class CDC;

// How the dispatcher calls a handler.
enum class HandlerKind {
    Command,         // void OnCommand()            WM_COMMAND with a code and id; also WM_PAINT
    EraseBackground, // BOOL OnEraseBkgnd(CDC* dc)
    SysCommand,      // void OnSysCommand(UINT id, LPARAM lParam)
    QueryDragIcon,   // HCURSOR OnQueryDragIcon()
    QueryEndSession, // BOOL OnQueryEndSession()            its answer is the message's result
};

union MessageHandler {
    void (CCmdTarget::*command)();
    BOOL (CCmdTarget::*eraseBackground)(CDC*);
    void (CCmdTarget::*sysCommand)(UINT, LPARAM);
    HCURSOR (CCmdTarget::*queryDragIcon)();
    BOOL (CCmdTarget::*queryEndSession)();

    constexpr MessageHandler(void (CCmdTarget::*f)()) : command(f) {}
    constexpr MessageHandler(BOOL (CCmdTarget::*f)(CDC*)) : eraseBackground(f) {}
    constexpr MessageHandler(void (CCmdTarget::*f)(UINT, LPARAM)) : sysCommand(f) {}
    constexpr MessageHandler(HCURSOR (CCmdTarget::*f)()) : queryDragIcon(f) {}
    constexpr MessageHandler(BOOL (CCmdTarget::*f)()) : queryEndSession(f) {}
};

struct MessageMapEntry {
    UINT message; // 0 ends the table
    UINT code;    // WM_COMMAND only: the notification code
    UINT id;      // WM_COMMAND only: the control id
    HandlerKind kind;
    MessageHandler handler;
};

struct MessageMap {
    const MessageMap* base; // the base class's map, searched after this one
    const MessageMapEntry* entries;
};

// The first entry, in this map or its bases, that takes the message; null if none.
const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam);

// Calls the handler the target's map binds to the message. Returns false when no entry matches.
bool DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT& result);

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const MessageMapEntry messageEntries[];                                                 \
                                                                                                   \
public:                                                                                            \
    static const MessageMap messageMap;                                                            \
    const MessageMap* GetMessageMap() const override {                                             \
        return &messageMap;                                                                        \
    }

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const MessageMap theClass::messageMap = {&baseClass::messageMap, theClass::messageEntries};    \
    const MessageMapEntry theClass::messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {                                                                                              \
        0, 0, 0, HandlerKind::Command,                                                             \
            MessageHandler(static_cast<void (CCmdTarget::*)()>(nullptr))                           \
    }                                                                                              \
    }                                                                                              \
    ;

#define ON_COMMAND_CODE(theClass, code, id, fn)                                                    \
    {WM_COMMAND, (code), (id), HandlerKind::Command,                                               \
     MessageHandler(static_cast<void (CCmdTarget::*)()>(&theClass::fn))},
#define ON_BN_CLICKED(theClass, id, fn) ON_COMMAND_CODE(theClass, BN_CLICKED, id, fn)
#define ON_COMMAND(theClass, id, fn) ON_COMMAND_CODE(theClass, 0, id, fn)
#define ON_WM_PAINT(theClass)                                                                      \
    {WM_PAINT, 0, 0, HandlerKind::Command,                                                         \
     MessageHandler(static_cast<void (CCmdTarget::*)()>(&theClass::OnPaint))},
#define ON_WM_ERASEBKGND(theClass)                                                                 \
    {WM_ERASEBKGND, 0, 0, HandlerKind::EraseBackground,                                            \
     MessageHandler(static_cast<BOOL (CCmdTarget::*)(CDC*)>(&theClass::OnEraseBkgnd))},
#define ON_WM_SYSCOMMAND(theClass)                                                                 \
    {WM_SYSCOMMAND, 0, 0, HandlerKind::SysCommand,                                                 \
     MessageHandler(static_cast<void (CCmdTarget::*)(UINT, LPARAM)>(&theClass::OnSysCommand))},
#define ON_WM_QUERYDRAGICON(theClass)                                                              \
    {WM_QUERYDRAGICON, 0, 0, HandlerKind::QueryDragIcon,                                           \
     MessageHandler(static_cast<HCURSOR (CCmdTarget::*)()>(&theClass::OnQueryDragIcon))},
#define ON_WM_QUERYENDSESSION(theClass)                                                            \
    {WM_QUERYENDSESSION, 0, 0, HandlerKind::QueryEndSession,                                       \
     MessageHandler(static_cast<BOOL (CCmdTarget::*)()>(&theClass::OnQueryEndSession))},
