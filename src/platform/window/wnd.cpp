#include "platform/window/wnd.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"
#include "platform/window/backend.h"
#include "platform/window/controls.h"
#include "platform/window/data_exchange.h"

// ---------------------------------------------------------------- CCmdTarget

CCmdTarget::~CCmdTarget() = default;

void CCmdTarget::AddEntry(unsigned nFirst, unsigned nLast, unsigned nCode,
                          std::function<void(unsigned)> handler) {
  m_commandMap.push_back(Entry{nFirst, nLast, nCode, std::move(handler)});
}

int CCmdTarget::OnCmdMsg(unsigned nId, unsigned nCode) {
  // Latest registration first, so a derived class's entry wins.
  for (auto it = m_commandMap.rbegin(); it != m_commandMap.rend(); ++it) {
    if (it->nCode == nCode && nId >= it->nFirst && nId <= it->nLast) {
      // A copy: the handler may register or replace entries while it runs.
      std::function<void(unsigned)> handler = it->handler;
      handler(nId);
      return 1;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------- CWnd

namespace {

std::unique_ptr<CWnd> MakeControlObject(CtlKind kind) {
  switch (kind) {
    case CtlKind::PushButton:
      return std::make_unique<CButton>();
    case CtlKind::Edit:
      return std::make_unique<CEdit>();
    case CtlKind::DropDownList:
    case CtlKind::DropDownCombo:
      return std::make_unique<CComboBox>();
    case CtlKind::ListView:
      return std::make_unique<CListCtrl>();
    case CtlKind::IpAddress:
      return std::make_unique<CIPAddressCtrl>();
    case CtlKind::Static:
    case CtlKind::GroupBox:
    case CtlKind::Frame:
      break;
  }
  return std::make_unique<CStatic>();
}

}  // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_pParentWnd) m_pParentWnd->ForgetChild(this);
  ReleaseWindow();
}

void CWnd::AttachPeer(std::unique_ptr<CWndPeer> peer) {
  m_pPeer = std::move(peer);
  m_bWindowCreated.store(m_pPeer != nullptr, std::memory_order_release);
}

void CWnd::AddChildWindow(CWnd& child, int nId) {
  child.m_pParentWnd = this;
  child.m_nDlgCtrlId = nId;
  m_attached.push_back(&child);
  if (nId != IDC_STATIC) m_children[nId] = &child;
}

int CWnd::CreateControls(const CDialogTemplate& dialogTemplate) {
  CWindowBackend* backend = GetWindowBackend();
  if (!backend || !m_pPeer) return 0;
  for (const CControlTemplate& ctl : dialogTemplate.controls) {
    std::unique_ptr<CWnd> control = MakeControlObject(ctl.kind);
    control->m_nDlgCtrlId = ctl.nId;
    control->m_dwStyle = ctl.dwStyle | WS_CHILD | WS_VISIBLE;
    control->m_dwExStyle = ctl.dwExStyle;
    control->m_pParentWnd = this;
    std::unique_ptr<CWndPeer> peer = backend->CreateControl(*this, *control, ctl);
    if (!peer) return 0;
    control->AttachPeer(std::move(peer));
    m_attached.push_back(control.get());
    if (ctl.nId != IDC_STATIC) m_children[ctl.nId] = control.get();
    m_ownedChildren.push_back(std::move(control));
  }
  return 1;
}

int CWnd::BindControl(int nId, CWnd& rControl) {
  auto found = m_children.find(nId);
  if (found == m_children.end() || found->second == &rControl || rControl.m_pPeer) return 0;
  CWnd* built = found->second;
  if (!built->m_pPeer) return 0;
  rControl.m_nDlgCtrlId = built->m_nDlgCtrlId;
  rControl.m_dwStyle = built->m_dwStyle;
  rControl.m_dwExStyle = built->m_dwExStyle;
  rControl.m_pParentWnd = this;
  rControl.m_pPeer = std::move(built->m_pPeer);
  rControl.m_pPeer->Rebind(rControl);
  rControl.m_bWindowCreated.store(true, std::memory_order_release);
  built->m_bWindowCreated.store(false, std::memory_order_release);
  found->second = &rControl;
  std::replace(m_attached.begin(), m_attached.end(), built, &rControl);
  // The object built from the template is no longer needed.
  built->m_pParentWnd = nullptr;
  auto owned = std::find_if(m_ownedChildren.begin(), m_ownedChildren.end(),
                            [built](const std::unique_ptr<CWnd>& p) { return p.get() == built; });
  if (owned != m_ownedChildren.end()) m_ownedChildren.erase(owned);
  rControl.PreSubclassWindow();
  return 1;
}

void CWnd::ForgetChild(CWnd* pChild) {
  m_attached.erase(std::remove(m_attached.begin(), m_attached.end(), pChild), m_attached.end());
  for (auto it = m_children.begin(); it != m_children.end();) {
    if (it->second == pChild) {
      it = m_children.erase(it);
    } else {
      ++it;
    }
  }
}

void CWnd::ReleaseWindow() {
  // First, so that another thread stops treating the window as present.
  m_bWindowCreated.store(false, std::memory_order_release);
  // Controls go before the window that holds them, the latest first.
  std::vector<CWnd*> attached = std::move(m_attached);
  m_attached.clear();
  m_children.clear();
  for (auto it = attached.rbegin(); it != attached.rend(); ++it) {
    CWnd* child = *it;
    child->m_pParentWnd = nullptr;
    child->DestroyWindow();
    child->ReleaseWindow();
  }
  m_ownedChildren.clear();
  m_pPeer.reset();
}

int CWnd::DestroyWindow() {
  if (!m_pPeer || m_bDestroying) return 0;
  m_bDestroying = true;
  OnDestroy();
  ReleaseWindow();
  m_bDestroying = false;
  return 1;
}

void CWnd::OnDestroy() {}

void CWnd::OnClose() { DestroyWindow(); }

void CWnd::PreSubclassWindow() {}

int CWnd::OnCommand(unsigned nId, unsigned nCode) { return OnCmdMsg(nId, nCode); }

void CWnd::OnTimer(unsigned nIdEvent) {}

void CWnd::DoDataExchange(CDataExchange* pDX) {}

CWnd* CWnd::GetDlgItem(int nId) const {
  auto found = m_children.find(nId);
  return found == m_children.end() ? nullptr : found->second;
}

void CWnd::SetDlgItemText(int nId, const std::string& text) {
  if (CWnd* item = GetDlgItem(nId)) item->SetWindowText(text);
}

std::string CWnd::GetDlgItemText(int nId) const {
  CWnd* item = GetDlgItem(nId);
  return item ? item->GetWindowText() : std::string();
}

int CWnd::GetDlgItemInt(int nId, int* pTranslated, bool bSigned) const {
  int value = 0;
  const CWnd* item = GetDlgItem(nId);
  // A number beyond the int range does not translate: 0 as for any non-number.
  bool ok = item && ParseIntText(item->GetWindowText(), bSigned, value) == 1;
  if (pTranslated) *pTranslated = ok ? 1 : 0;
  return ok ? value : 0;
}

void CWnd::SetDlgItemInt(int nId, int nValue, bool bSigned) {
  SetDlgItemText(nId, bSigned ? StrFormat("%d", nValue) : StrFormat("%u", static_cast<unsigned>(nValue)));
}

void CWnd::SetWindowText(const std::string& text) {
  if (m_pPeer) m_pPeer->SetText(text);
}

std::string CWnd::GetWindowText() const { return m_pPeer ? m_pPeer->GetText() : std::string(); }

int CWnd::EnableWindow(bool bEnable) {
  if (!m_pPeer) return 0;
  int wasDisabled = m_pPeer->IsEnabled() ? 0 : 1;
  if (bEnable) {
    m_dwStyle &= ~WS_DISABLED;
  } else {
    m_dwStyle |= WS_DISABLED;
  }
  m_pPeer->SetEnabled(bEnable);
  return wasDisabled;
}

int CWnd::IsWindowEnabled() const { return m_pPeer && m_pPeer->IsEnabled() ? 1 : 0; }

int CWnd::ShowWindow(int nCmdShow) {
  if (!m_pPeer) return 0;
  int wasVisible = (m_dwStyle & WS_VISIBLE) ? 1 : 0;
  bool show = nCmdShow != SW_HIDE;
  if (show) {
    m_dwStyle |= WS_VISIBLE;
  } else {
    m_dwStyle &= ~WS_VISIBLE;
  }
  m_pPeer->SetVisible(show);
  return wasVisible;
}

int CWnd::IsWindowVisible() const { return m_pPeer && m_pPeer->IsVisible() ? 1 : 0; }

void CWnd::SetFocus() {
  if (m_pPeer) m_pPeer->SetFocus();
}

int CWnd::HasFocus() const { return m_pPeer && m_pPeer->HasFocus() ? 1 : 0; }

int CWnd::ModifyStyle(unsigned long dwRemove, unsigned long dwAdd) {
  unsigned long style = (m_dwStyle & ~dwRemove) | dwAdd;
  if (style == m_dwStyle) return 0;
  unsigned long changed = style ^ m_dwStyle;
  m_dwStyle = style;
  if (m_pPeer) {
    if (changed & WS_DISABLED) m_pPeer->SetEnabled(!(style & WS_DISABLED));
    if (changed & WS_VISIBLE) m_pPeer->SetVisible(style & WS_VISIBLE);
    if (changed & ~(WS_DISABLED | WS_VISIBLE)) m_pPeer->ApplyStyle(m_dwStyle, m_dwExStyle);
  }
  return 1;
}

int CWnd::ModifyStyleEx(unsigned long dwRemove, unsigned long dwAdd) {
  unsigned long exStyle = (m_dwExStyle & ~dwRemove) | dwAdd;
  if (exStyle == m_dwExStyle) return 0;
  m_dwExStyle = exStyle;
  if (m_pPeer) m_pPeer->ApplyStyle(m_dwStyle, m_dwExStyle);
  return 1;
}

void CWnd::SetRedraw(bool bRedraw) {
  if (m_pPeer) m_pPeer->SetRedraw(bRedraw);
}

void CWnd::Invalidate() {
  if (m_pPeer) m_pPeer->Invalidate();
}

void CWnd::GetWindowRect(CRect* pRect) const {
  if (pRect) *pRect = m_pPeer ? m_pPeer->GetWindowRect() : CRect{};
}

void CWnd::GetClientRect(CRect* pRect) const {
  if (pRect) *pRect = m_pPeer ? m_pPeer->GetClientRect() : CRect{};
}

void CWnd::MoveWindow(const CRect& rect) {
  if (m_pPeer) m_pPeer->Move(rect);
}

unsigned CWnd::SetTimer(unsigned nIdEvent, unsigned nElapse) {
  if (!m_pPeer || !m_pPeer->SetTimer(nIdEvent, nElapse)) return 0;
  return nIdEvent != 0 ? nIdEvent : 1;
}

int CWnd::KillTimer(unsigned nIdEvent) { return m_pPeer && m_pPeer->KillTimer(nIdEvent) ? 1 : 0; }

int CWnd::UpdateData(bool bSaveAndValidate) {
  // Without a window there are no controls to exchange with.
  if (!m_pPeer) return 1;
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  m_nExchangeFailedId = dx.FailedControl();
  return dx.Failed() ? 0 : 1;
}
