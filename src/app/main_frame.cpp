#include "app/main_frame.h"

#include "app/app_resources.h"
#include "app/keyboard_locks.h"
#include "platform/document.h"
#include "platform/window/print_service.h"

namespace {

// The lock keys change outside the program's windows too, so their state is
// read on a short timer (the framework updates its indicators when idle).
constexpr unsigned LOCK_KEYS_TIMER = 0xE0F0;
constexpr unsigned LOCK_KEYS_PERIOD_MS = 250;

}  // namespace

CMainFrame::CMainFrame() { MapCommand(ID_FILE_PRINT, &CMainFrame::OnFilePrint); }

CMainFrame::~CMainFrame() = default;

int CMainFrame::PreCreateWindow(CCreateStruct& cs) {
  if (!CFrameWnd::PreCreateWindow(cs)) return 0;
  cs.style &= ~(WS_MAXIMIZEBOX | WS_THICKFRAME);
  return 1;
}

int CMainFrame::OnCreate(CCreateStruct* pCreateStruct) {
  if (CFrameWnd::OnCreate(pCreateStruct) == -1) return -1;
  if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(StatusIndicators())) return -1;
  // The window layer's frames carry no menu, so there is none to remove.
  UpdateLockIndicators();
  if (m_bLockKeysKnown) SetTimer(LOCK_KEYS_TIMER, LOCK_KEYS_PERIOD_MS);
  return 0;
}

void CMainFrame::UpdateLockIndicators() {
  LockKeyStates states;
  m_bLockKeysKnown = ReadLockKeyStates(states);
  m_wndStatusBar.SetPaneOn(PANE_CAPS, states.caps);
  m_wndStatusBar.SetPaneOn(PANE_NUM, states.num);
  m_wndStatusBar.SetPaneOn(PANE_SCROLL, states.scroll);
}

void CMainFrame::OnTimer(unsigned nIdEvent) {
  if (nIdEvent == LOCK_KEYS_TIMER) {
    UpdateLockIndicators();
    if (!m_bLockKeysKnown) KillTimer(LOCK_KEYS_TIMER);
  }
  CFrameWnd::OnTimer(nIdEvent);
}

void CMainFrame::SetMessageText(const std::string& text) { m_wndStatusBar.SetPaneText(0, text); }

void CMainFrame::OnFilePrint() {
  CFormView* view = GetActiveView();
  if (view == nullptr) return;
  PrintWindowWithDialog(*view, m_pDocument != nullptr ? m_pDocument->GetTitle() : GetWindowText());
}
