// Inside the Win32 backend: the peer classes that tie a CWnd to its window
// handle. Every window gets a subclass procedure (comctl32's
// SetWindowSubclass) that sees its messages before the window's own
// procedure: timers go to the owner's OnTimer, commands of a dialog's or
// form's controls to its owner's OnCommand, and the window's destruction
// (WM_NCDESTROY) cuts the peer off its handle, so that no callback reaches
// the owner after the window is gone. UI thread only.
#pragma once

#include "platform/window/win32/win32_system.h"

#include <memory>
#include <set>
#include <string>

#include "platform/window/backend.h"
#include "platform/window/wnd.h"

class Win32PeerBase {
 public:
  virtual ~Win32PeerBase();
  HWND Hwnd() const { return m_hwnd; }
  CWnd* Owner() const { return m_owner; }
  // The peer of a window the backend made, or nullptr.
  static Win32PeerBase* FromHwnd(HWND hwnd);
  // Keys of a top-level window's own (accelerators, dialog navigation);
  // true when the message was consumed.
  virtual bool PreTranslate(MSG& msg) { return false; }

 protected:
  // bDestroy: the peer destroys the window when it goes (controls built
  // from a template go with their dialog too, whichever comes first).
  Win32PeerBase(CWnd& owner, HWND hwnd, bool bDestroy);
  // A message before the window's own procedure; true when handled, with
  // its result in *pResult. The owner's handlers may destroy the peer:
  // return at once after calling them.
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { return false; }
  bool StartTimer(unsigned nIdEvent, unsigned nElapse);
  bool StopTimer(unsigned nIdEvent);

  CWnd* m_owner;
  HWND m_hwnd;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  bool m_bDestroy;
  std::set<unsigned> m_timers;
};

// The parts every peer shares, on top of the interface it implements.
template <class Interface>
class Win32Peer : public Interface, public Win32PeerBase {
 public:
  Win32Peer(CWnd& owner, HWND hwnd, bool bDestroy) : Win32PeerBase(owner, hwnd, bDestroy) {}

  void Rebind(CWnd& newOwner) override { m_owner = &newOwner; }
  void SetText(const std::string& text) override;
  std::string GetText() const override;
  void SetEnabled(bool bEnable) override;
  // Its own state, as the window system reports it, not its parent's.
  bool IsEnabled() const override { return m_hwnd && IsWindowEnabled(m_hwnd); }
  void SetVisible(bool bVisible) override;
  bool IsVisible() const override { return m_hwnd && IsWindowVisible(m_hwnd); }
  void SetFocus() override;
  bool HasFocus() const override;
  void SetRedraw(bool bRedraw) override;
  void Invalidate() override {
    if (m_hwnd) InvalidateRect(m_hwnd, nullptr, TRUE);
  }
  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override;
  CRect GetWindowRect() const override;
  CRect GetClientRect() const override;
  void Move(const CRect& rect) override {
    if (m_hwnd) MoveWindow(m_hwnd, rect.left, rect.top, rect.Width(), rect.Height(), TRUE);
  }
  bool SetTimer(unsigned nIdEvent, unsigned nElapse) override { return StartTimer(nIdEvent, nElapse); }
  bool KillTimer(unsigned nIdEvent) override { return StopTimer(nIdEvent); }
};

// The window text of hwnd (GBK).
std::string WindowTextOf(HWND hwnd);

// Creates the peer of a control that the dialog manager built from the
// template (win32_controls.cpp): hwnd is that control.
std::unique_ptr<CWndPeer> CreateWin32Control(CWnd& control, const CControlTemplate& ctl, HWND hwnd);

// Accelerators and dialog keys for the top-level window a message goes to;
// true when consumed. Every message loop of the backend runs it.
bool PreTranslateWin32Message(MSG& msg);
