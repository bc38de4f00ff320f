#include "platform/window/win32/win32_system.h"

#include <vector>

#include "platform/window/win32/win32_peers.h"
#include "platform/window/win32/win32_text.h"

namespace {

// The subclass identifier of the backend's procedure.
constexpr UINT_PTR kSubclassId = 0x51494C4E;
// The window property that leads from a window to its peer.
constexpr wchar_t kPeerProperty[] = L"QuillonPeer";

}  // namespace

// ------------------------------------------------------------ Win32PeerBase

Win32PeerBase::Win32PeerBase(CWnd& owner, HWND hwnd, bool bDestroy)
    : m_owner(&owner), m_hwnd(hwnd), m_bDestroy(bDestroy) {
  if (!m_hwnd) return;
  SetWindowSubclass(m_hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetPropW(m_hwnd, kPeerProperty, this);
}

Win32PeerBase::~Win32PeerBase() {
  if (!m_hwnd) return;
  HWND hwnd = m_hwnd;
  for (unsigned id : m_timers) ::KillTimer(hwnd, id);
  m_timers.clear();
  // No message reaches the owner from here on.
  RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
  RemovePropW(hwnd, kPeerProperty);
  m_hwnd = nullptr;
  if (m_bDestroy) DestroyWindow(hwnd);
}

Win32PeerBase* Win32PeerBase::FromHwnd(HWND hwnd) {
  return hwnd ? static_cast<Win32PeerBase*>(GetPropW(hwnd, kPeerProperty)) : nullptr;
}

bool Win32PeerBase::StartTimer(unsigned nIdEvent, unsigned nElapse) {
  if (!m_hwnd) return false;
  // Restarting an identifier replaces its timer.
  if (!::SetTimer(m_hwnd, nIdEvent, nElapse == 0 ? 1 : nElapse, nullptr)) return false;
  m_timers.insert(nIdEvent);
  return true;
}

bool Win32PeerBase::StopTimer(unsigned nIdEvent) {
  if (m_timers.erase(nIdEvent) == 0) return false;
  if (m_hwnd) ::KillTimer(m_hwnd, nIdEvent);
  return true;
}

LRESULT CALLBACK Win32PeerBase::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR refData) {
  auto* peer = reinterpret_cast<Win32PeerBase*>(refData);
  switch (msg) {
    case WM_NCDESTROY:
      // The window went before its peer (with its parent, or by the system).
      RemoveWindowSubclass(hwnd, SubclassProc, id);
      RemovePropW(hwnd, kPeerProperty);
      peer->m_hwnd = nullptr;
      peer->m_timers.clear();
      return DefSubclassProc(hwnd, msg, wParam, lParam);
    case WM_TIMER:
      // The controls' own timers (caret, scrolling) are theirs.
      if (peer->m_timers.count(static_cast<unsigned>(wParam)) != 0) {
        peer->m_owner->OnTimer(static_cast<unsigned>(wParam));
        return 0;
      }
      break;
    default: {
      LRESULT result = 0;
      if (peer->OnMessage(msg, wParam, lParam, &result)) return result;
      break;
    }
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------- Win32Peer

std::string WindowTextOf(HWND hwnd) {
  if (!hwnd) return std::string();
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::string();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int got = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return WideToGbk(buffer.data(), got);
}

template <class Interface>
void Win32Peer<Interface>::SetText(const std::string& text) {
  if (m_hwnd) SetWindowTextW(m_hwnd, GbkToWide(text).c_str());
}

template <class Interface>
std::string Win32Peer<Interface>::GetText() const {
  return WindowTextOf(m_hwnd);
}

template <class Interface>
void Win32Peer<Interface>::SetEnabled(bool bEnable) {
  if (!m_hwnd) return;
  // A control that loses the keyboard focus by being disabled hands it on,
  // as the dialog manager expects, rather than leaving it nowhere.
  if (!bEnable && GetFocus() == m_hwnd) {
    if (HWND parent = GetParent(m_hwnd)) SendMessageW(parent, WM_NEXTDLGCTL, 0, FALSE);
  }
  EnableWindow(m_hwnd, bEnable ? TRUE : FALSE);
}

template <class Interface>
void Win32Peer<Interface>::SetVisible(bool bVisible) {
  if (m_hwnd) ShowWindow(m_hwnd, bVisible ? SW_SHOWNA : SW_HIDE);
}

template <class Interface>
void Win32Peer<Interface>::SetFocus() {
  if (!m_hwnd) return;
  HWND parent = GetParent(m_hwnd);
  // In a dialog the dialog manager moves the focus, so that the default
  // button follows it.
  if (parent && (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD) && GetClassLongW(parent, GCW_ATOM) == 32770) {
    SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hwnd), TRUE);
  } else {
    ::SetFocus(m_hwnd);
  }
}

template <class Interface>
bool Win32Peer<Interface>::HasFocus() const {
  if (!m_hwnd) return false;
  HWND focus = GetFocus();
  return focus && (focus == m_hwnd || IsChild(m_hwnd, focus));
}

template <class Interface>
void Win32Peer<Interface>::SetRedraw(bool bRedraw) {
  if (!m_hwnd) return;
  SendMessageW(m_hwnd, WM_SETREDRAW, bRedraw ? TRUE : FALSE, 0);
  if (bRedraw) RedrawWindow(m_hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

template <class Interface>
void Win32Peer<Interface>::ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) {
  if (!m_hwnd) return;
  // Enabled and visible states come through their own calls.
  const LONG current = GetWindowLongW(m_hwnd, GWL_STYLE);
  const LONG kept = current & static_cast<LONG>(WS_DISABLED | WS_VISIBLE | WS_CHILD | WS_POPUP);
  LONG wanted = (static_cast<LONG>(dwStyle) & ~static_cast<LONG>(WS_DISABLED | WS_VISIBLE | WS_CHILD | WS_POPUP)) | kept;
  // A border that the 3-D look drew as a sunken client edge stays one.
  if (GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) wanted &= ~static_cast<LONG>(WS_BORDER);
  if (wanted != current) {
    SetWindowLongW(m_hwnd, GWL_STYLE, wanted);
    SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

template <class Interface>
CRect Win32Peer<Interface>::GetWindowRect() const {
  if (!m_hwnd) return CRect{};
  RECT r{};
  ::GetWindowRect(m_hwnd, &r);
  if (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD) {
    // A control's rectangle in its parent's client coordinates.
    MapWindowPoints(HWND_DESKTOP, GetParent(m_hwnd), reinterpret_cast<POINT*>(&r), 2);
  }
  return CRect{r.left, r.top, r.right, r.bottom};
}

template <class Interface>
CRect Win32Peer<Interface>::GetClientRect() const {
  if (!m_hwnd) return CRect{};
  RECT r{};
  ::GetClientRect(m_hwnd, &r);
  return CRect{r.left, r.top, r.right, r.bottom};
}

template class Win32Peer<CWndPeer>;
template class Win32Peer<CButtonPeer>;
template class Win32Peer<CEditPeer>;
template class Win32Peer<CComboPeer>;
template class Win32Peer<CListPeer>;
template class Win32Peer<CIpAddressPeer>;
template class Win32Peer<CDialogPeer>;
template class Win32Peer<CFramePeer>;
template class Win32Peer<CStatusBarPeer>;
