#include "platform/window/controls.h"

#include "platform/window/backend.h"

namespace {

template <class Peer>
Peer* PeerAs(const CWnd& wnd) {
  return dynamic_cast<Peer*>(wnd.GetPeer());
}

}  // namespace

// ------------------------------------------------------------------- CButton

void CButton::Click() {
  if (auto* peer = PeerAs<CButtonPeer>(*this)) peer->Click();
}

// --------------------------------------------------------------------- CEdit

void CEdit::SetSel(int nStart, int nEnd) {
  if (auto* peer = PeerAs<CEditPeer>(*this)) peer->SetSel(nStart, nEnd);
}

void CEdit::GetSel(int& nStart, int& nEnd) const {
  nStart = 0;
  nEnd = 0;
  if (auto* peer = PeerAs<CEditPeer>(*this)) peer->GetSel(nStart, nEnd);
}

void CEdit::ReplaceSel(const std::string& text, bool bCanUndo) {
  if (auto* peer = PeerAs<CEditPeer>(*this)) peer->ReplaceSel(text, bCanUndo);
}

void CEdit::AppendText(const std::string& text) {
  if (auto* peer = PeerAs<CEditPeer>(*this)) peer->AppendText(text);
}

int CEdit::SetReadOnly(bool bReadOnly) {
  if (!GetPeer()) return 0;
  if (bReadOnly) {
    ModifyStyle(0, ES_READONLY);
  } else {
    ModifyStyle(ES_READONLY, 0);
  }
  return 1;
}

int CEdit::GetLineCount() const {
  auto* peer = PeerAs<CEditPeer>(*this);
  return peer ? peer->GetLineCount() : 0;
}

// ----------------------------------------------------------------- CComboBox

int CComboBox::AddString(const std::string& text) {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->InsertString(-1, text) : CB_ERR;
}

int CComboBox::InsertString(int nIndex, const std::string& text) {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->InsertString(nIndex, text) : CB_ERR;
}

int CComboBox::DeleteString(int nIndex) {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->DeleteString(nIndex) : CB_ERR;
}

void CComboBox::ResetContent() {
  if (auto* peer = PeerAs<CComboPeer>(*this)) peer->ResetContent();
}

int CComboBox::GetCount() const {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->GetCount() : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect) {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->SetCurSel(nSelect) : CB_ERR;
}

int CComboBox::GetCurSel() const {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->GetCurSel() : CB_ERR;
}

std::string CComboBox::GetLBText(int nIndex) const {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->GetLBText(nIndex) : std::string();
}

int CComboBox::SetItemTip(int nIndex, const std::string& text) {
  auto* peer = PeerAs<CComboPeer>(*this);
  return peer ? peer->SetItemTip(nIndex, text) : CB_ERR;
}

int CComboBox::FindStringExact(int nStartAfter, const std::string& text) const {
  auto* peer = PeerAs<CComboPeer>(*this);
  if (!peer) return CB_ERR;
  int count = peer->GetCount();
  for (int i = nStartAfter < 0 ? 0 : nStartAfter + 1; i < count; ++i) {
    if (peer->GetLBText(i) == text) return i;
  }
  return CB_ERR;
}

// ----------------------------------------------------------------- CListCtrl

int CListCtrl::InsertColumn(int nCol, const std::string& heading, int nFormat, int nWidth, int nSubItem) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->InsertColumn(nCol, heading, nFormat, nWidth) : -1;
}

int CListCtrl::DeleteColumn(int nCol) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->DeleteColumn(nCol) : 0;
}

int CListCtrl::GetColumnCount() const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetColumnCount() : 0;
}

int CListCtrl::GetColumnWidth(int nCol) const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetColumnWidth(nCol) : 0;
}

int CListCtrl::SetColumnWidth(int nCol, int cx) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->SetColumnWidth(nCol, cx) : 0;
}

std::string CListCtrl::GetColumnHeading(int nCol) const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetColumnHeading(nCol) : std::string();
}

int CListCtrl::GetColumnFormat(int nCol) const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetColumnFormat(nCol) : LVCFMT_LEFT;
}

int CListCtrl::InsertItem(int nItem, const std::string& text) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->InsertItem(nItem, text) : -1;
}

int CListCtrl::DeleteItem(int nItem) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->DeleteItem(nItem) : 0;
}

int CListCtrl::DeleteAllItems() {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->DeleteAllItems() : 0;
}

int CListCtrl::GetItemCount() const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetItemCount() : 0;
}

int CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& text) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->SetItemText(nItem, nSubItem, text) : 0;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetItemText(nItem, nSubItem) : std::string();
}

int CListCtrl::SetItemData(int nItem, std::uintptr_t dwData) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->SetItemData(nItem, dwData) : 0;
}

std::uintptr_t CListCtrl::GetItemData(int nItem) const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetItemData(nItem) : 0;
}

unsigned long CListCtrl::SetExtendedStyle(unsigned long dwExStyle) {
  unsigned long previous = GetExStyle();
  ModifyStyleEx(~0UL, dwExStyle);
  return previous;
}

int CListCtrl::GetSelectionMark() const {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->GetSelectionMark() : -1;
}

int CListCtrl::SetSelectionMark(int nItem) {
  auto* peer = PeerAs<CListPeer>(*this);
  return peer ? peer->SetSelectionMark(nItem) : -1;
}

// ------------------------------------------------------------ CIPAddressCtrl

int CIPAddressCtrl::GetAddress(std::uint8_t& nField0, std::uint8_t& nField1, std::uint8_t& nField2,
                               std::uint8_t& nField3) const {
  int fields[4] = {-1, -1, -1, -1};
  if (auto* peer = PeerAs<CIpAddressPeer>(*this)) peer->GetFields(fields);
  std::uint8_t* out[4] = {&nField0, &nField1, &nField2, &nField3};
  int filled = 0;
  for (int i = 0; i < 4; ++i) {
    if (fields[i] >= 0) ++filled;
    *out[i] = static_cast<std::uint8_t>(fields[i] >= 0 ? fields[i] : 0);
  }
  return filled;
}

int CIPAddressCtrl::GetAddress(std::uint32_t& dwAddress) const {
  std::uint8_t f[4];
  int filled = GetAddress(f[0], f[1], f[2], f[3]);
  dwAddress = (std::uint32_t{f[0]} << 24) | (std::uint32_t{f[1]} << 16) | (std::uint32_t{f[2]} << 8) | f[3];
  return filled;
}

void CIPAddressCtrl::SetAddress(std::uint8_t nField0, std::uint8_t nField1, std::uint8_t nField2,
                                std::uint8_t nField3) {
  const int fields[4] = {nField0, nField1, nField2, nField3};
  if (auto* peer = PeerAs<CIpAddressPeer>(*this)) peer->SetFields(fields);
}

void CIPAddressCtrl::SetAddress(std::uint32_t dwAddress) {
  SetAddress(static_cast<std::uint8_t>(dwAddress >> 24), static_cast<std::uint8_t>(dwAddress >> 16),
             static_cast<std::uint8_t>(dwAddress >> 8), static_cast<std::uint8_t>(dwAddress));
}

void CIPAddressCtrl::ClearAddress() {
  const int fields[4] = {-1, -1, -1, -1};
  if (auto* peer = PeerAs<CIpAddressPeer>(*this)) peer->SetFields(fields);
}

int CIPAddressCtrl::IsBlank() const {
  int fields[4] = {-1, -1, -1, -1};
  if (auto* peer = PeerAs<CIpAddressPeer>(*this)) peer->GetFields(fields);
  for (int f : fields) {
    if (f >= 0) return 0;
  }
  return 1;
}
