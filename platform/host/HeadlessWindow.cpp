#include "HeadlessWindow.h"

#include <map>

#include "DC.h"
#include "WaitCursor.h"

namespace {
std::map<UINT, std::vector<HeadlessControl>>& Templates() {
    static std::map<UINT, std::vector<HeadlessControl>> templates;
    return templates;
}
std::function<void(CDialog&)>& ModalScript() {
    static std::function<void(CDialog&)> script;
    return script;
}
std::function<int(const HeadlessMessageBox&)>& MessageBoxScript() {
    static std::function<int(const HeadlessMessageBox&)> script;
    return script;
}
int DefaultButton(UINT type) {
    if ((type & 0xF) == MB_YESNO)
        return (type & MB_DEFBUTTON2) ? IDNO : IDYES;
    return IDOK;
}
int waitCursorDepth = 0;
} // namespace

HeadlessWindow* HeadlessWindow::Child(int childId) const {
    for (const auto& c : children)
        if (c->id == childId)
            return c.get();
    return nullptr;
}

void RegisterHeadlessTemplate(UINT templateId, std::vector<HeadlessControl> controls) {
    Templates()[templateId] = std::move(controls);
}

void SetHeadlessModalScript(std::function<void(CDialog&)> script) {
    ModalScript() = std::move(script);
}

void SetHeadlessMessageBoxScript(std::function<int(const HeadlessMessageBox&)> script) {
    MessageBoxScript() = std::move(script);
}

std::unique_ptr<HeadlessWindow> MakeHeadlessWindow(CWnd& wnd) {
    auto window = std::make_unique<HeadlessWindow>();
    window->wnd = &wnd;
    wnd.m_hWnd = window.get();
    return window;
}

bool HeadlessWaitCursorShown() {
    return waitCursorDepth > 0;
}

CWaitCursor::CWaitCursor() : m_previous(nullptr) {
    ++waitCursorDepth;
}

CWaitCursor::~CWaitCursor() {
    --waitCursorDepth;
}

CWnd* CWnd::GetDlgItem(int id) const {
    return m_hWnd ? WrapChild(m_hWnd->Child(id)) : nullptr;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    BOOL wasDisabled = !m_hWnd->enabled;
    m_hWnd->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_hWnd->enabled;
}

void CWnd::SetWindowTextA(LPCSTR text) {
    m_hWnd->text = text ? text : "";
    ++m_hWnd->textChanges;
}

// Names are Windows-1252 bytes at the boundary here, so both kinds read alike.
void CWnd::SetDisplayText(const CDisplayText& text) {
    SetWindowTextA(text.Bytes());
}

void CWnd::GetWindowTextA(CString& text) const {
    text = m_hWnd->text.c_str();
}

BOOL CWnd::UpdateData(BOOL) {
    ++m_hWnd->updateDataCalls;
    return TRUE;
}

int CWnd::ShowMessageBox(const CDisplayText& text, const CDisplayText& caption, UINT type) {
    const HeadlessMessageBox box{static_cast<const char*>(text.Bytes()),
                                 static_cast<const char*>(caption.Bytes()), type,
                                 HeadlessWaitCursorShown()};
    m_hWnd->messageBoxes.push_back(box);
    return MessageBoxScript() ? MessageBoxScript()(box) : DefaultButton(type);
}

LRESULT CWnd::SendMessageA(UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* target = m_hWnd && m_hWnd->wnd ? m_hWnd->wnd : this;
    return target->WindowProc(message, wParam, lParam);
}

// As DefWindowProc answers: the session may end.
LRESULT CWnd::Default() {
    return m_current.message == WM_QUERYENDSESSION ? TRUE : 0;
}

extern "C" BOOL ShutdownBlockReasonCreate(HWND window, LPCWSTR reason) {
    window->shutdownBlockReason = reason;
    return TRUE;
}

extern "C" BOOL ShutdownBlockReasonDestroy(HWND window) {
    window->shutdownBlockReason.clear();
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    HeadlessWindow window;
    window.wnd = this;
    for (const HeadlessControl& c : Templates()[m_templateId]) {
        window.children.push_back(std::make_unique<HeadlessWindow>());
        window.children.back()->id = c.id;
        window.children.back()->text = c.text;
    }
    m_hWnd = &window;
    SendMessageA(WM_INITDIALOG);
    if (ModalScript() && !window.ended)
        ModalScript()(*this);
    int result = window.ended ? window.endResult : -1;
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) {
    if (!m_hWnd->ended) {
        m_hWnd->ended = true;
        m_hWnd->endResult = result;
    }
}

CDC::~CDC() = default;

BOOL CDC::Attach(HDC dc) {
    m_hDC = dc;
    return TRUE;
}

HDC CDC::Detach() {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    return dc;
}
