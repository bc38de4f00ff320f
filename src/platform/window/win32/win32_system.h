// <windows.h> for the Win32 backend, always its first include. The window
// layer names its constants after the system's (IDOK, WS_CHILD, BN_CLICKED,
// ...) with the system's values; its headers come first, so the system's
// macros that follow stand for the same numbers instead of clashing with
// the layer's declarations.
#pragma once

#include "platform/window/templates.h"
#include "platform/window/win_types.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

// The system's A/W switches that share a name with the window layer's own
// members (CWnd::GetWindowText, ...): the backend calls the W functions by
// their full names.
#undef GetWindowText
#undef SetWindowText
#undef GetWindowTextLength
#undef GetDlgItemText
#undef SetDlgItemText
#undef MessageBox
