#pragma once

#include "platform/afxwin.h"
#include "res/resource.h"

// The About box: icon, name and version, two notice lines and OK.
class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUT) {}
};
