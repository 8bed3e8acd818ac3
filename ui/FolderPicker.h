// The shell's folder browser: set a title, Browse, and on success read the chosen folder.
#pragma once

#include "CString.h"

class CFolderPicker {
public:
    CFolderPicker() = default;
    virtual ~CFolderPicker() = default;
    CFolderPicker(const CFolderPicker&) = delete;
    CFolderPicker& operator=(const CFolderPicker&) = delete;

    // 1 when a folder with a file-system path was chosen (m_path then holds it), 0 otherwise.
    int Browse();

    CString m_path;
    CString m_title;
};
