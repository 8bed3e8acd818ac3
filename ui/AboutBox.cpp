#include "AboutBox.h"

CAboutBox::CAboutBox(CWnd* parent) : CDialog(IDD, parent) {}
