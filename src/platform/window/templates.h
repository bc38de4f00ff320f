// Dialog and form templates: what a window built from a resource holds, and
// how dialog units become pixels. Templates are plain data, usually static
// constants beside the class that uses them; the window layer builds the
// controls from them in order, which is also the keyboard focus order.
#pragma once

#include <string>
#include <vector>

#include "platform/window/win_types.h"

enum class CtlKind {
  Static,          // text label (SS_LEFT / SS_CENTER / SS_RIGHT)
  GroupBox,        // framed box with a caption
  Frame,           // plain etched frame without text
  PushButton,      // BS_DEFPUSHBUTTON marks the dialog's default button
  Edit,            // ES_MULTILINE, ES_READONLY, ES_AUTOHSCROLL, WS_VSCROLL, WS_BORDER
  DropDownList,    // combo box without an edit field
  DropDownCombo,   // combo box with an editable field
  ListView,        // LVS_REPORT and the other list view styles
  IpAddress,       // four fields 0..255
};

struct CControlTemplate {
  int nId = IDC_STATIC;
  CtlKind kind = CtlKind::Static;
  std::string strText;  // GBK
  // Rectangle in dialog units. For a combo box the height is that of the
  // control with its list dropped down; the closed control is one line high.
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  unsigned long dwStyle = 0;     // WS_ / ES_ / BS_ / SS_ / CBS_ / LVS_ bits
  unsigned long dwExStyle = 0;   // list views: LVS_EX_ bits
  std::vector<std::string> items;  // initial items of a combo box, first first (GBK)
};

struct CDialogTemplate {
  unsigned nId = 0;  // resource identifier, for messages and tests
  int cx = 0;        // size in dialog units
  int cy = 0;
  std::string strCaption;  // GBK; empty for a form
  // Font the template asks for. The UI uses its own CJK font at 12 px at
  // 96 dpi instead, and dialog units are fixed to it (see DialogUnitsToPixels).
  std::string strFontName;
  int nFontPointSize = 9;
  unsigned long dwStyle = 0;  // WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, DS_MODALFRAME, WS_CHILD
  std::vector<CControlTemplate> controls;

  // The control with the identifier, or nullptr.
  const CControlTemplate* FindControl(int nId) const;
};

// a * b / c rounded half away from zero, as the platform's MulDiv does; -1
// when c is 0. On Windows it is the system's own, declared as <windows.h>
// declares it, so that both can be included.
#if defined(_WIN32)
extern "C" __declspec(dllimport) int __stdcall MulDiv(int a, int b, int c);
#else
int MulDiv(int a, int b, int c);
#endif

// Dialog units → pixels at a logical dpi: base units 6 × 12 at 96 dpi,
// scaled by dpi / 96; x · baseX / 4, y · baseY / 8. At 96 dpi a 506 × 300
// form is 759 × 450 pixels.
int DialogUnitsToPixelsX(int x, int dpi = 96);
int DialogUnitsToPixelsY(int y, int dpi = 96);
CRect DialogUnitsToPixels(const CRect& dlu, int dpi = 96);

// Pixel size of the UI font at a logical dpi (12 at 96 dpi).
int UiFontPixelSize(int dpi = 96);
