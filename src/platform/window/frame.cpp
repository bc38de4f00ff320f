#include "platform/window/frame.h"

#include <algorithm>

#include "platform/window/app.h"
#include "platform/window/backend.h"

namespace {

// Identifiers the frame gives its status bar and its view.
constexpr int kStatusBarId = 0xE801;
constexpr int kViewId = 0xE900;

}  // namespace

// ----------------------------------------------------------------- CFrameWnd

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() = default;

int CFrameWnd::Create(const std::string& title, unsigned long dwStyle, CWnd* pParentWnd) {
  CWindowBackend* backend = GetWindowBackend();
  if (!backend || GetPeer()) return 0;
  CCreateStruct cs;
  cs.style = dwStyle;
  cs.strName = title;
  if (!PreCreateWindow(cs)) return 0;
  std::unique_ptr<CFramePeer> peer = backend->CreateFrameWindow(*this, cs, pParentWnd);
  if (!peer) return 0;
  ModifyStyle(~0UL, cs.style);
  ModifyStyleEx(~0UL, cs.dwExStyle);
  SetParentWnd(pParentWnd);
  AttachPeer(std::move(peer));
  if (OnCreate(&cs) == -1) {
    DestroyWindow();
    return 0;
  }
  return 1;
}

int CFrameWnd::PreCreateWindow(CCreateStruct& cs) { return 1; }

int CFrameWnd::OnCreate(CCreateStruct* pCreateStruct) { return 0; }

void CFrameWnd::SetMessageText(const std::string& text) {}

void CFrameWnd::RecalcLayout() {
  if (auto* peer = dynamic_cast<CFramePeer*>(GetPeer())) peer->RecalcLayout();
}

void CFrameWnd::SetClientSize(int cx, int cy) {
  if (auto* peer = dynamic_cast<CFramePeer*>(GetPeer())) peer->SetClientSize(cx, cy);
}

CSize CFrameWnd::GetClientSize() const {
  auto* peer = dynamic_cast<CFramePeer*>(GetPeer());
  return peer ? peer->GetClientSize() : CSize{};
}

int CFrameWnd::LoadAccelTable(const std::vector<CAccelerator>& accelerators) {
  auto* peer = dynamic_cast<CFramePeer*>(GetPeer());
  if (!peer) return 0;
  peer->SetAccelerators(accelerators);
  return 1;
}

void CFrameWnd::ActivateFrame(int nCmdShow) {
  if (auto* peer = dynamic_cast<CFramePeer*>(GetPeer())) peer->Show(nCmdShow);
}

int CFrameWnd::OnCmdMsg(unsigned nId, unsigned nCode) {
  if (m_pActiveView && m_pActiveView->OnCmdMsg(nId, nCode)) return 1;
  if (CWnd::OnCmdMsg(nId, nCode)) return 1;
  CWinApp* app = AfxGetApp();
  return app ? app->OnCmdMsg(nId, nCode) : 0;
}

void CFrameWnd::OnClose() { DestroyWindow(); }

int CFrameWnd::DestroyWindow() {
  if (!GetPeer()) return 0;
  int destroyed = CWnd::DestroyWindow();
  m_pActiveView = nullptr;
  CWinApp* app = AfxGetApp();
  if (destroyed && app && app->m_pMainWnd == this) {
    app->m_pMainWnd = nullptr;
    AfxPostQuitMessage(0);
  }
  return destroyed;
}

// ---------------------------------------------------------------- CStatusBar

int CStatusBar::Create(CFrameWnd* pParentWnd) {
  CWindowBackend* backend = GetWindowBackend();
  if (!backend || !pParentWnd || !pParentWnd->GetPeer() || GetPeer()) return 0;
  std::unique_ptr<CStatusBarPeer> peer = backend->CreateStatusBar(*this, *pParentWnd);
  if (!peer) return 0;
  AttachPeer(std::move(peer));
  pParentWnd->AddChildWindow(*this, kStatusBarId);
  if (!m_paneTexts.empty()) SetIndicators(m_paneTexts);
  return 1;
}

int CStatusBar::SetIndicators(const std::vector<std::string>& paneTexts) {
  m_paneTexts = paneTexts;
  m_paneOn.assign(paneTexts.size(), true);
  auto* peer = dynamic_cast<CStatusBarPeer*>(GetPeer());
  if (!peer) return 0;
  peer->SetPanes(m_paneTexts, m_paneOn);
  return 1;
}

int CStatusBar::SetPaneText(int nIndex, const std::string& text) {
  if (nIndex < 0 || nIndex >= GetCount()) return 0;
  m_paneTexts[static_cast<std::size_t>(nIndex)] = text;
  if (auto* peer = dynamic_cast<CStatusBarPeer*>(GetPeer())) peer->SetPanes(m_paneTexts, m_paneOn);
  return 1;
}

std::string CStatusBar::GetPaneText(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetCount()) return std::string();
  return m_paneTexts[static_cast<std::size_t>(nIndex)];
}

int CStatusBar::SetPaneOn(int nIndex, bool bOn) {
  if (nIndex < 0 || nIndex >= GetCount()) return 0;
  if (m_paneOn[static_cast<std::size_t>(nIndex)] == bOn) return 1;
  m_paneOn[static_cast<std::size_t>(nIndex)] = bOn;
  if (auto* peer = dynamic_cast<CStatusBarPeer*>(GetPeer())) peer->SetPanes(m_paneTexts, m_paneOn);
  return 1;
}

bool CStatusBar::IsPaneOn(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetCount()) return false;
  return m_paneOn[static_cast<std::size_t>(nIndex)];
}

// ----------------------------------------------------------------- CFormView

CFormView::CFormView(const CDialogTemplate& formTemplate) : m_pTemplate(&formTemplate) {}

CFormView::~CFormView() {
  // A view that goes before its frame leaves the frame's client area empty.
  if (m_pFrame && m_pFrame->m_pActiveView == this) {
    if (auto* framePeer = dynamic_cast<CFramePeer*>(m_pFrame->GetPeer())) framePeer->SetView(nullptr);
    m_pFrame->m_pActiveView = nullptr;
  }
}

int CFormView::Create(CFrameWnd* pParentFrame) {
  CWindowBackend* backend = GetWindowBackend();
  if (!backend || !pParentFrame || !pParentFrame->GetPeer() || GetPeer()) return 0;
  std::unique_ptr<CWndPeer> peer = backend->CreateFormWindow(*this, *m_pTemplate, *pParentFrame);
  if (!peer) return 0;
  ModifyStyle(~0UL, m_pTemplate->dwStyle | WS_CHILD | WS_VISIBLE);
  AttachPeer(std::move(peer));
  if (!CreateControls(*m_pTemplate)) {
    DestroyWindow();
    return 0;
  }
  m_pFrame = pParentFrame;
  pParentFrame->AddChildWindow(*this, kViewId);
  pParentFrame->SetActiveView(this);
  if (auto* framePeer = dynamic_cast<CFramePeer*>(pParentFrame->GetPeer())) framePeer->SetView(GetPeer());
  return 1;
}

void CFormView::OnInitialUpdate() { UpdateData(false); }

CSize CFormView::GetTotalSize() const {
  CWindowBackend* backend = GetWindowBackend();
  if (backend) return backend->MapDialogSize(m_pTemplate->cx, m_pTemplate->cy);
  return CSize{DialogUnitsToPixelsX(m_pTemplate->cx), DialogUnitsToPixelsY(m_pTemplate->cy)};
}

void CFormView::ResizeParentToFit(bool bShrinkOnly) {
  if (!m_pFrame || !GetPeer()) return;
  CSize wanted = GetTotalSize();
  if (bShrinkOnly) {
    CSize current = m_pFrame->GetClientSize();
    wanted.cx = std::min(wanted.cx, current.cx);
    wanted.cy = std::min(wanted.cy, current.cy);
  }
  m_pFrame->SetClientSize(wanted.cx, wanted.cy);
}

int CFormView::DestroyWindow() {
  if (m_pFrame && m_pFrame->m_pActiveView == this) {
    if (auto* framePeer = dynamic_cast<CFramePeer*>(m_pFrame->GetPeer())) framePeer->SetView(nullptr);
    m_pFrame->m_pActiveView = nullptr;
  }
  m_pFrame = nullptr;
  return CWnd::DestroyWindow();
}
