#include "app/keyboard_locks.h"

#include <QGuiApplication>

#if defined(QUILLON_HAVE_XKB)
#include <QtGui/qguiapplication_platform.h>
// Xlib's macros (None, Bool, Status, ...) clash with Qt's names: included last.
#include <X11/XKBlib.h>
#endif

bool ReadLockKeyStates(LockKeyStates& states) {
#if defined(QUILLON_HAVE_XKB)
  auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return false;

  // Which indicator is which does not change while the program runs: look
  // the three up once, then read all of them in one request per call.
  struct Indices {
    Display* display = nullptr;
    int caps = -1;
    int num = -1;
    int scroll = -1;
  };
  static Indices indices;
  if (indices.display != display) {
    indices = Indices{display, -1, -1, -1};
    const auto find = [display](const char* name) {
      int index = -1;
      const Atom atom = XInternAtom(display, name, False);
      if (atom == 0 || !XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr)) return -1;
      return index;
    };
    indices.caps = find("Caps Lock");
    indices.num = find("Num Lock");
    indices.scroll = find("Scroll Lock");
  }
  unsigned int lit = 0;
  if (XkbGetIndicatorState(display, XkbUseCoreKbd, &lit) != 0) return false;  // Success is 0
  const auto on = [lit](int index) { return index >= 0 && index < 32 && (lit & (1u << index)) != 0; };
  states.caps = on(indices.caps);
  states.num = on(indices.num);
  states.scroll = on(indices.scroll);
  return true;
#else
  (void)states;
  return false;
#endif
}
