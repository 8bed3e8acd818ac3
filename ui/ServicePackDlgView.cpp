// What the user sees of the main dialog: icon, system-menu About entry and the stretched
// background picture. The controller half is in ServicePackDlg.cpp.
#include "ServicePackDlg.h"

#include "AboutBox.h"
#include "WinApp.h"
#include "WindowDC.h"

CServicePackDlg::CServicePackDlg(CWnd* parent) : CDialog(IDD, parent) {}

CServicePackDlg::~CServicePackDlg() {
    // The picture is selected into the memory DC and held by nothing else; it can only be
    // deleted once the DC that holds it is gone.
    HDC memory = m_memoryDC.GetSafeHdc();
    if (!memory)
        return;
    // Without a picture this is the DC's stock bitmap, which DeleteObject leaves alone.
    HGDIOBJ picture = GetCurrentObject(memory, OBJ_BITMAP);
    m_memoryDC.DeleteDC();
    if (picture)
        DeleteObject(picture);
}

BOOL CServicePackDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HINSTANCE resources = AfxGetResourceHandle();
    if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
        // As the resources hold it, never through the ANSI code page.
        wchar_t about[256] = L"";
        if (LoadStringW(resources, IDS_ABOUTBOX, about, sizeof about / sizeof *about) > 0) {
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    // A shared resource icon: never destroyed. Loaded once the dialog exists: before any window,
    // Wine sets up its display driver for the icon and waits on the desktop's process for it.
    m_icon = LoadIconA(resources, MAKEINTRESOURCEA(IDR_MAINFRAME));
    SendMessageA(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageA(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    GetClientRect(m_hWnd, &m_clientRect);
    InitialiseController();
    return TRUE;
}

BOOL CServicePackDlg::OnEraseBkgnd(CDC* dc) {
    // Loaded and prepared at the first erase, once the window shows, so that each erase after
    // it is a single stretched copy.
    if (!m_memoryDC.GetSafeHdc() && m_memoryDC.CreateCompatibleDC(dc)) {
        HBITMAP picture = LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND));
        GetObjectA(picture, sizeof m_picture, &m_picture);
        m_memoryDC.SelectObject(picture);
    }
    // The picture's last column and row stay out of the copy; its artwork allows for that.
    dc->StretchBlt(m_clientRect.left, m_clientRect.top, m_clientRect.right, m_clientRect.bottom,
                   &m_memoryDC, 0, 0, m_picture.bmWidth - 1, m_picture.bmHeight - 1, SRCCOPY);
    return TRUE;
}

void CServicePackDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessageA(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_icon);
}

HCURSOR CServicePackDlg::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(m_icon);
}

void CServicePackDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutBox about;
        about.DoModal();
    } else {
        Default();
    }
}
