// The state of the Caps Lock, Num Lock and Scroll Lock keys, where the
// platform tells it: on X11 through the XKB indicators. Other platforms
// (Wayland, the offscreen platform of the tests) do not say, and the status
// bar then shows the indicators off. UI thread only (it uses the display
// connection of the Qt application).
#pragma once

struct LockKeyStates {
  bool caps = false;
  bool num = false;
  bool scroll = false;
};

// True and the three states when they could be read.
bool ReadLockKeyStates(LockKeyStates& states);
