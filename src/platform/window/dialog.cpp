#include "platform/window/dialog.h"

#include "platform/window/backend.h"

CDialog::CDialog(const CDialogTemplate& dialogTemplate, CWnd* pParentWnd) : m_pTemplate(&dialogTemplate) {
  SetParentWnd(pParentWnd);
}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
  CWindowBackend* backend = GetWindowBackend();
  if (!backend || GetPeer()) return IDCANCEL;
  std::unique_ptr<CDialogPeer> peer = backend->CreateDialogWindow(*this, *m_pTemplate, GetParent());
  if (!peer) return IDCANCEL;
  CDialogPeer* dialogPeer = peer.get();
  m_nModalResult = IDCANCEL;
  m_bEnded = false;
  AttachPeer(std::move(peer));
  if (!CreateControls(*m_pTemplate)) {
    DestroyWindow();
    return IDCANCEL;
  }
  OnInitDialog();
  // OnInitDialog may already have ended the dialog.
  if (!m_bEnded && GetPeer() == dialogPeer) dialogPeer->RunModal();
  DestroyWindow();
  return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  m_bEnded = true;
  if (auto* peer = dynamic_cast<CDialogPeer*>(GetPeer())) peer->EndModal(nResult);
}

int CDialog::OnInitDialog() {
  UpdateData(false);
  return 1;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() {
  // A close request in a dialog is the cancel command.
  OnCommand(IDCANCEL, BN_CLICKED);
}

int CDialog::OnCommand(unsigned nId, unsigned nCode) {
  if (CWnd::OnCommand(nId, nCode)) return 1;
  if (nCode != BN_CLICKED) return 0;
  if (nId == IDOK) {
    OnOK();
    return 1;
  }
  if (nId == static_cast<unsigned>(IDCANCEL)) {
    OnCancel();
    return 1;
  }
  return 0;
}

int CDialog::GetDefID() const {
  for (const CControlTemplate& ctl : m_pTemplate->controls) {
    if (ctl.kind == CtlKind::PushButton && (ctl.dwStyle & BS_DEFPUSHBUTTON)) return ctl.nId;
  }
  return 0;
}
