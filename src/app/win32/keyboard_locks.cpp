#include "app/keyboard_locks.h"

#include "platform/window/win32/win32_system.h"

// The toggle bit of each key's state, as the system keeps it for the thread.
bool ReadLockKeyStates(LockKeyStates& states) {
  states.caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
  states.num = (GetKeyState(VK_NUMLOCK) & 1) != 0;
  states.scroll = (GetKeyState(VK_SCROLL) & 1) != 0;
  return true;
}
