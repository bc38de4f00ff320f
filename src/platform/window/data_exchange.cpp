#include "platform/window/data_exchange.h"

#include <climits>
#include <cstdint>

#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/window/controls.h"
#include "platform/window/wnd.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

int ParseIntText(const std::string& text, bool bSigned, int& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    if (negative && !bSigned) return 0;
    ++i;
  }
  if (i >= n || text[i] < '0' || text[i] > '9') return 0;
  // Accumulate with a ceiling so that a long run of digits cannot overflow.
  const std::int64_t ceiling = bSigned ? std::int64_t{INT_MAX} + 1 : std::int64_t{UINT_MAX};
  std::int64_t magnitude = 0;
  bool beyond = false;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > ceiling) {
      magnitude = ceiling;
      beyond = true;
    }
    ++i;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return 0;
  if (bSigned) {
    std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX) {
      signedValue = INT_MAX;
      beyond = true;
    }
    value = static_cast<int>(signedValue);
  } else {
    value = static_cast<int>(static_cast<unsigned>(magnitude));
  }
  return beyond ? 2 : 1;
}

CDataExchange::CDataExchange(CWnd* pDlgWnd, bool bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

void CDataExchange::PrepareCtrl(int nIDC) {
  m_idLastControl = nIDC;
  m_bEditLastControl = false;
}

void CDataExchange::PrepareEditCtrl(int nIDC) {
  m_idLastControl = nIDC;
  m_bEditLastControl = true;
}

void CDataExchange::Fail() {
  m_bFailed = true;
  if (!m_pDlgWnd) return;
  CWnd* control = m_pDlgWnd->GetDlgItem(m_idLastControl);
  if (!control) return;
  // Back to the field that needs correcting, its text ready to be retyped.
  control->SetFocus();
  if (m_bEditLastControl) {
    if (auto* edit = dynamic_cast<CEdit*>(control)) edit->SetSel(0, -1);
  }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  if (pDX->Failed()) return;
  pDX->PrepareEditCtrl(nIDC);
  CWnd* control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
  if (!control) return;
  if (!pDX->m_bSaveAndValidate) {
    control->SetWindowText(StrFormat("%d", value));
    return;
  }
  int parsed = 0;
  if (ParseIntText(control->GetWindowText(), true, parsed) == 0) {
    AfxMessageBox("请输入一个整数。");
    pDX->Fail();
    return;
  }
  value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
  if (pDX->Failed()) return;
  pDX->PrepareEditCtrl(nIDC);
  CWnd* control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
  if (!control) return;
  if (pDX->m_bSaveAndValidate) {
    value = control->GetWindowText();
  } else {
    control->SetWindowText(value);
  }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
  if (pDX->Failed() || !pDX->m_bSaveAndValidate) return;
  if (value >= minVal && value <= maxVal) return;
  AfxMessageBox(StrFormat("请输入一个介于 %d 和 %d 之间的整数。", minVal, maxVal));
  pDX->Fail();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (pDX->Failed() || rControl.GetPeer()) return;
  pDX->PrepareCtrl(nIDC);
  pDX->m_pDlgWnd->BindControl(nIDC, rControl);
}
