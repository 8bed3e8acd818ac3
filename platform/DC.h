// A drawing context. It owns the device context it created (CreateCompatibleDC) and deletes
// it when destroyed; one it was only attached to stays the caller's after Detach.
#pragma once

#include "WinApi.h"

class CWnd;

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC dc);
    HDC Detach();
    BOOL DeleteDC();

    BOOL CreateCompatibleDC(CDC* dc);
    HGDIOBJ SelectObject(HGDIOBJ object);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw,
                    int sh, DWORD rop);
    BOOL DrawIcon(int x, int y, HICON icon);
};
