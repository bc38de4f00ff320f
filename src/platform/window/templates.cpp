#include "platform/window/templates.h"

#include <cstdint>

const CControlTemplate* CDialogTemplate::FindControl(int nId) const {
  for (const CControlTemplate& ctl : controls) {
    if (ctl.nId == nId) return &ctl;
  }
  return nullptr;
}

#if !defined(_WIN32)
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t product = std::int64_t{a} * b;
  bool negative = (product < 0) != (c < 0);
  std::int64_t num = product < 0 ? -product : product;
  std::int64_t den = c < 0 ? -std::int64_t{c} : c;
  std::int64_t q = (num + den / 2) / den;
  if (q > INT32_MAX) return -1;
  return static_cast<int>(negative ? -q : q);
}
#endif

namespace {

int BaseUnitX(int dpi) { return MulDiv(6, dpi, 96); }
int BaseUnitY(int dpi) { return MulDiv(12, dpi, 96); }

}  // namespace

int DialogUnitsToPixelsX(int x, int dpi) { return MulDiv(x, BaseUnitX(dpi), 4); }

int DialogUnitsToPixelsY(int y, int dpi) { return MulDiv(y, BaseUnitY(dpi), 8); }

CRect DialogUnitsToPixels(const CRect& dlu, int dpi) {
  return CRect{DialogUnitsToPixelsX(dlu.left, dpi), DialogUnitsToPixelsY(dlu.top, dpi),
               DialogUnitsToPixelsX(dlu.right, dpi), DialogUnitsToPixelsY(dlu.bottom, dpi)};
}

int UiFontPixelSize(int dpi) { return MulDiv(12, dpi, 96); }
