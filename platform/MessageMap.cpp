#include "MessageMap.h"

#include "CmdTarget.h"
#include "DC.h"

const MessageMap CCmdTarget::messageMap = {nullptr, nullptr};

namespace {
// The caller's device context, lent to a handler: given back however the handler ends.
class BorrowedDC : public CDC {
public:
    explicit BorrowedDC(HDC dc) { Attach(dc); }
    ~BorrowedDC() override { Detach(); }
};
} // namespace

const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam) {
    for (; map; map = map->base) {
        if (!map->entries)
            continue;
        for (const MessageMapEntry* e = map->entries; e->message != 0; ++e) {
            if (e->message != message)
                continue;
            if (message == WM_COMMAND && (e->code != HIWORD(wParam) || e->id != LOWORD(wParam)))
                continue;
            return e;
        }
    }
    return nullptr;
}

bool DispatchMessageMap(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT& result) {
    const MessageMapEntry* e = FindMessageEntry(target->GetMessageMap(), message, wParam);
    if (!e)
        return false;
    result = 0;
    switch (e->kind) {
    case HandlerKind::Command:
        (target->*e->handler.command)();
        break;
    case HandlerKind::EraseBackground: {
        BorrowedDC dc(reinterpret_cast<HDC>(wParam));
        result = (target->*e->handler.eraseBackground)(&dc);
        break;
    }
    case HandlerKind::SysCommand:
        (target->*e->handler.sysCommand)(static_cast<UINT>(wParam), lParam);
        break;
    case HandlerKind::QueryDragIcon:
        result = reinterpret_cast<LRESULT>((target->*e->handler.queryDragIcon)());
        break;
    case HandlerKind::QueryEndSession:
        result = (target->*e->handler.queryEndSession)();
        break;
    }
    return true;
}
