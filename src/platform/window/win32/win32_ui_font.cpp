#include "platform/window/win32/win32_system.h"
#include "platform/window/win32/win32_ui_font.h"

#include <map>
#include <vector>

#include "platform/window/templates.h"
#include "platform/window/win32/win32_backend.h"
#include "platform/window/win32/win32_dialog_template.h"
#include "platform/window/win32/win32_text.h"

namespace {

constexpr int kPointSize = 9;

std::wstring& Face() {
  static std::wstring face;
  return face;
}

int CALLBACK FoundFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FamilyExists(const std::wstring& face) {
  HDC dc = GetDC(nullptr);
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  face.copy(lf.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void ChooseUiFontFace() {
  if (!Face().empty()) return;
  // Windows' own Chinese UI faces first; then the CJK fonts a Linux host
  // gives Wine (Debian's fonts-wqy-microhei is what the setup installs).
  // Without any of them every Chinese character is a box.
  const wchar_t* const wanted[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun",
                                   L"WenQuanYi Micro Hei", L"WenQuanYi Zen Hei", L"Noto Sans CJK SC",
                                   L"Noto Sans SC", L"Droid Sans Fallback"};
  for (const wchar_t* face : wanted) {
    if (FamilyExists(face)) {
      Face() = face;
      return;
    }
  }
  Face() = L"MS Shell Dlg 2";
}

std::string Win32UiFontFace() { return WideToUtf8(Face()); }

int SystemDpi() {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto getDpiForSystem = reinterpret_cast<GetDpiForSystemFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
  if (getDpiForSystem) {
    const UINT dpi = getDpiForSystem();
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

HFONT UiFont(int dpi) {
  static std::map<int, HFONT> fonts;
  HFONT& font = fonts[dpi];
  if (!font) {
    font = CreateFontW(-MulDiv(kPointSize, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       Face().c_str());
  }
  return font;
}

CSize DialogBaseUnits(int dpi) {
  static std::map<int, CSize> measured;
  auto found = measured.find(dpi);
  if (found != measured.end()) return found->second;
  CDialogTemplate probe;
  probe.cx = 4;
  probe.cy = 8;
  probe.dwStyle = WS_POPUP;
  const std::vector<std::uint8_t> bytes = BuildDialogTemplate(probe, DialogUse::Modal, Face(), kPointSize);
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                           nullptr, MeasureProc, 0);
  // Without a dialog, the design's 6 × 12 at 96 dpi.
  CSize base{MulDiv(6, dpi, 96), MulDiv(12, dpi, 96)};
  if (dialog) {
    RECT r{0, 0, 4, 8};
    MapDialogRect(dialog, &r);
    base = CSize{r.right, r.bottom};
    DestroyWindow(dialog);
  }
  measured[dpi] = base;
  return base;
}
