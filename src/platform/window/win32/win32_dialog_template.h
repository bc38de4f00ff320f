// A template of the window layer as the dialog manager reads it: an
// in-memory DLGTEMPLATEEX in dialog units with the UI font, one item per
// control in the template's order (the dialog manager creates them in that
// order, which is also the tab order). UI thread or any: plain data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/templates.h"

enum class DialogUse {
  Modal,  // a popup with its caption, hidden until the modal loop shows it
  Form,   // a child that fills a frame's client area
};

// The window class and styles a control of the template is created with.
struct Win32ControlClass {
  std::wstring className;  // "BUTTON", "SysIPAddress32", ...
  unsigned long style = 0;
  unsigned long exStyle = 0;
};
Win32ControlClass ControlClassOf(const CControlTemplate& ctl);

// The DLGTEMPLATEEX bytes (DWORD-aligned from the start of the buffer).
std::vector<std::uint8_t> BuildDialogTemplate(const CDialogTemplate& dialog, DialogUse use,
                                              const std::wstring& fontFace, int nPointSize);
