// Small value types and constants of the window layer: rectangles, window and
// control styles, dialog results, notification codes. The numbers are the
// Win32 API's own (WS_*, ES_*, BN_*, IDOK, …) so that the forms read as they
// were designed; each backend interprets them. No Qt type here.
#pragma once

#include <cstdint>
#include <string>

// Identifier of a control that has none of its own (labels, group boxes).
constexpr int IDC_STATIC = -1;

// Results of a modal dialog and identifiers of the standard buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Window styles.
constexpr unsigned long WS_OVERLAPPED = 0x00000000UL;
constexpr unsigned long WS_TABSTOP = 0x00010000UL;
constexpr unsigned long WS_GROUP = 0x00020000UL;
constexpr unsigned long WS_MAXIMIZEBOX = 0x00010000UL;  // top-level windows only
constexpr unsigned long WS_MINIMIZEBOX = 0x00020000UL;  // top-level windows only
constexpr unsigned long WS_THICKFRAME = 0x00040000UL;   // sizing border
constexpr unsigned long WS_SYSMENU = 0x00080000UL;      // close box
constexpr unsigned long WS_HSCROLL = 0x00100000UL;
constexpr unsigned long WS_VSCROLL = 0x00200000UL;
constexpr unsigned long WS_DLGFRAME = 0x00400000UL;
constexpr unsigned long WS_BORDER = 0x00800000UL;
constexpr unsigned long WS_CAPTION = 0x00C00000UL;
constexpr unsigned long WS_DISABLED = 0x08000000UL;
constexpr unsigned long WS_VISIBLE = 0x10000000UL;
constexpr unsigned long WS_POPUP = 0x80000000UL;
constexpr unsigned long WS_CHILD = 0x40000000UL;
constexpr unsigned long WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Dialog template styles.
constexpr unsigned long DS_MODALFRAME = 0x80UL;

// Static controls.
constexpr unsigned long SS_LEFT = 0x0UL;
constexpr unsigned long SS_CENTER = 0x1UL;
constexpr unsigned long SS_RIGHT = 0x2UL;

// Push buttons.
constexpr unsigned long BS_PUSHBUTTON = 0x0UL;
constexpr unsigned long BS_DEFPUSHBUTTON = 0x1UL;

// Edit controls.
constexpr unsigned long ES_LEFT = 0x0000UL;
constexpr unsigned long ES_MULTILINE = 0x0004UL;
constexpr unsigned long ES_AUTOVSCROLL = 0x0040UL;
constexpr unsigned long ES_AUTOHSCROLL = 0x0080UL;
constexpr unsigned long ES_READONLY = 0x0800UL;
constexpr unsigned long ES_WANTRETURN = 0x1000UL;

// Combo boxes (the kind in the template says list or editable; these add to it).
constexpr unsigned long CBS_AUTOHSCROLL = 0x0040UL;
constexpr unsigned long CBS_SORT = 0x0100UL;

// List view styles and extended styles.
constexpr unsigned long LVS_ICON = 0x0000UL;
constexpr unsigned long LVS_REPORT = 0x0001UL;
constexpr unsigned long LVS_TYPEMASK = 0x0003UL;
constexpr unsigned long LVS_SINGLESEL = 0x0004UL;
constexpr unsigned long LVS_SHOWSELALWAYS = 0x0008UL;
constexpr unsigned long LVS_NOCOLUMNHEADER = 0x4000UL;
constexpr unsigned long LVS_EX_GRIDLINES = 0x0001UL;
constexpr unsigned long LVS_EX_FULLROWSELECT = 0x0020UL;

// Column alignment of a list view.
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;
// SetColumnWidth: as wide as the column's texts; and at least its heading,
// the last column also filling the room the others leave.
constexpr int LVSCW_AUTOSIZE = -1;
constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

// Notification codes that reach the parent's command handlers with the
// control's identifier. Accelerators and button clicks use code 0.
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned CBN_SELCHANGE = 1;
constexpr unsigned CBN_EDITCHANGE = 5;
// A drop-down list is about to open: the parent may change its items first.
constexpr unsigned CBN_DROPDOWN = 7;
constexpr unsigned EN_CHANGE = 0x0300;

// Failure result of list and combo operations.
constexpr int CB_ERR = -1;
constexpr int LB_ERR = -1;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWMINIMIZED = 2;

// A rectangle in pixels (or dialog units where a comment says so): left, top,
// right, bottom, right and bottom exclusive.
struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const CRect&) const = default;
};

struct CSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const CSize&) const = default;
};

// What a frame window is about to be created with; PreCreateWindow may change
// it (a fixed-size frame removes WS_MAXIMIZEBOX and WS_THICKFRAME).
struct CCreateStruct {
  unsigned long style = WS_OVERLAPPEDWINDOW;
  unsigned long dwExStyle = 0;
  std::string strName;  // window title, GBK
};

// Keyboard accelerator: key (a virtual key code: 'A'..'Z', '0'..'9' or one of
// the VK_ values) with modifiers → command identifier.
constexpr unsigned char FVIRTKEY = 0x01;
constexpr unsigned char FSHIFT = 0x04;
constexpr unsigned char FCONTROL = 0x08;
constexpr unsigned char FALT = 0x10;
constexpr unsigned short VK_BACK = 0x08;
constexpr unsigned short VK_RETURN = 0x0D;
constexpr unsigned short VK_ESCAPE = 0x1B;
constexpr unsigned short VK_INSERT = 0x2D;
constexpr unsigned short VK_DELETE = 0x2E;
constexpr unsigned short VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn, up to F12

struct CAccelerator {
  unsigned char fVirt = FVIRTKEY;
  unsigned short key = 0;
  unsigned cmd = 0;
};
