// Printing a window with the system's print dialog and GDI: the window's
// picture (as PrintWindow draws it, off the screen) stretched onto the
// printable area of one page, keeping its shape.
#include "platform/window/win32/win32_system.h"

#include <algorithm>

#include "platform/window/print_service.h"
#include "platform/window/win32/win32_access.h"
#include "platform/window/win32/win32_modal.h"
#include "platform/window/win32/win32_text.h"

namespace {

// The window's picture as a device-independent bitmap; false when it has
// no size or cannot be drawn.
bool CaptureWindow(HWND hwnd, BITMAPINFO& info, std::vector<std::uint32_t>& pixels) {
  RECT r{};
  GetClientRect(hwnd, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(hwnd);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // PW_RENDERFULLCONTENT (2): the controls as they are, whatever covers them.
  bool drawn = PrintWindow(hwnd, memory, PW_CLIENTONLY | 2) != 0;
  if (!drawn) drawn = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
  SelectObject(memory, old);
  info = BITMAPINFO{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  if (drawn) drawn = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) != 0;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, screen);
  return drawn;
}

}  // namespace

int PrintWindowWithDialog(const CWnd& wnd, const std::string& gbkDocumentName) {
  HWND hwnd = WindowOf(wnd);
  if (hwnd == nullptr) return 0;

  PRINTDLGW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetAncestor(hwnd, GA_ROOT);
  // One page, the window as it is: page ranges and selections do not apply.
  dialog.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
  dialog.nCopies = 1;
  const long confirmed = RunSystemModal([&] { return static_cast<long>(PrintDlgW(&dialog)); });
  if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames) GlobalFree(dialog.hDevNames);
  if (!confirmed || dialog.hDC == nullptr) return 0;

  HDC printer = dialog.hDC;
  BITMAPINFO info{};
  std::vector<std::uint32_t> pixels;
  int printed = 0;
  const std::wstring name = GbkToWide(gbkDocumentName);
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = name.c_str();
  if (CaptureWindow(hwnd, info, pixels) && StartDocW(printer, &doc) > 0) {
    if (StartPage(printer) > 0) {
      const int pageWidth = GetDeviceCaps(printer, HORZRES);
      const int pageHeight = GetDeviceCaps(printer, VERTRES);
      const int width = info.bmiHeader.biWidth;
      const int height = -info.bmiHeader.biHeight;
      // As large as the printable area allows, keeping its shape.
      const double scale = std::min(static_cast<double>(pageWidth) / width, static_cast<double>(pageHeight) / height);
      SetStretchBltMode(printer, HALFTONE);
      StretchDIBits(printer, 0, 0, static_cast<int>(width * scale), static_cast<int>(height * scale), 0, 0, width,
                    height, pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
      printed = EndPage(printer) > 0 ? 1 : 0;
    }
    if (EndDoc(printer) <= 0) printed = 0;
  }
  DeleteDC(printer);
  return printed;
}
