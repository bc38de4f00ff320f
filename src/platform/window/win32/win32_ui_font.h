// The UI font and the screen's dpi as the Win32 backend uses them: a CJK
// face that the system has ("Microsoft YaHei UI", else SimSun, else a CJK
// font that Wine finds on the host), at the template's 9 points. UI thread.
#pragma once

#include "platform/window/win32/win32_system.h"

#include <string>

#include "platform/window/win_types.h"

// Chooses the face once (InstallWin32WindowBackend does it).
void ChooseUiFontFace();
// The system's logical dpi (96 on a plain screen).
int SystemDpi();
// The UI font at 9 points for dpi; kept for the life of the process.
HFONT UiFont(int dpi);
// The dialog manager's base units for the UI font at dpi, measured on a
// dialog of its own: what 4 × 8 dialog units come to in pixels.
CSize DialogBaseUnits(int dpi);
