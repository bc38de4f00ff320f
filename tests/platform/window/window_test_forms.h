// The test forms that the window layer's GUI tests share, whatever backend
// draws them: identifiers, a form the size of the main form with one control
// of every kind, and helpers to write a test's own template.
#pragma once

#include <string>
#include <vector>

#include "platform/window/controls.h"
#include "platform/window/frame.h"
#include "platform/window/templates.h"

// Identifiers of the test form's controls.
enum : int {
  ID_EDIT = 1001,
  ID_PANE = 1002,
  ID_LIST_BOX = 1003,
  ID_COMBO = 1004,
  ID_REPORT = 1005,
  ID_ADDRESS = 1006,
  ID_BUTTON = 1007,
  ID_EDIT2 = 1008,
};

// A test's own form or dialog template: identifier, size in dialog units,
// style and controls, with an optional caption and font.
inline CDialogTemplate TestTemplate(unsigned id, int cx, int cy, unsigned long style,
                                    std::vector<CControlTemplate> controls, const char* caption = "",
                                    const char* font = "") {
  CDialogTemplate t;
  t.nId = id;
  t.cx = cx;
  t.cy = cy;
  t.dwStyle = style;
  t.strCaption = caption;
  t.strFontName = font;
  t.controls = std::move(controls);
  return t;
}

// One control of a test template.
inline CControlTemplate TestControl(int id, CtlKind kind, const char* text, int x, int y, int cx, int cy,
                                    unsigned long style, std::vector<std::string> items = {}) {
  return {id, kind, text, x, y, cx, cy, style, 0, std::move(items)};
}

// A form of the size of the main form, with one control of every kind.
inline const CDialogTemplate& TestFormTemplate() {
  static const CDialogTemplate form = TestTemplate(
      101, 506, 300, WS_CHILD,
      {
          TestControl(IDC_STATIC, CtlKind::GroupBox, "串口数据", 7, 5, 287, 143, 0),
          TestControl(ID_PANE, CtlKind::Edit, "", 14, 16, 272, 121, ES_MULTILINE | WS_VSCROLL | WS_BORDER),
          TestControl(ID_REPORT, CtlKind::ListView, "", 305, 16, 186, 121, LVS_REPORT | WS_BORDER),
          TestControl(IDC_STATIC, CtlKind::Static, "选择串口：", 16, 171, 41, 8, SS_LEFT),
          TestControl(ID_LIST_BOX, CtlKind::DropDownList, "", 61, 169, 43, 188, WS_VSCROLL, {"COM1", "COM2", "校验"}),
          TestControl(ID_COMBO, CtlKind::DropDownCombo, "", 110, 169, 120, 67, WS_VSCROLL),
          TestControl(ID_BUTTON, CtlKind::PushButton, "连接串口", 408, 168, 39, 14, BS_PUSHBUTTON),
          TestControl(ID_EDIT, CtlKind::Edit, "", 60, 213, 40, 14, ES_AUTOHSCROLL | WS_BORDER),
          TestControl(ID_EDIT2, CtlKind::Edit, "", 146, 213, 40, 14, ES_AUTOHSCROLL | WS_BORDER),
          TestControl(ID_ADDRESS, CtlKind::IpAddress, "", 228, 212, 100, 15, 0),
      },
      "", "宋体");
  return form;
}

class PlainForm : public CFormView {
 public:
  PlainForm() : CFormView(TestFormTemplate()) {}
};
