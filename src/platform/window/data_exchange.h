// Data exchange between a window's members and its controls, with range
// validation, as dialogs and forms do it in DoDataExchange:
//
//   void CQuillonView::DoDataExchange(CDataExchange* pDX) {
//     DDX_Control(pDX, 1004, m_listStats);
//     DDX_Text(pDX, 1017, m_nEditLocalPort);
//     DDV_MinMaxInt(pDX, m_nEditLocalPort, 1024, 65535);
//     ...
//   }
//
// A failing field shows the framework's message through AfxMessageBox, puts
// the focus on the field and stops the exchange: every DDX_/DDV_ call after
// the failure does nothing, and UpdateData returns 0. UI thread only.
#pragma once

#include <string>

class CWnd;

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, bool bSaveAndValidate);

  bool m_bSaveAndValidate;  // true: controls → members
  CWnd* m_pDlgWnd;          // the window whose controls are exchanged

  // The control that the next DDV_ call validates (set by each DDX_ call).
  void PrepareCtrl(int nIDC);
  void PrepareEditCtrl(int nIDC);
  // Shows nothing; marks the exchange failed at the prepared control, puts
  // the focus there (and selects an edit's text).
  void Fail();

  bool Failed() const { return m_bFailed; }
  int FailedControl() const { return m_bFailed ? m_idLastControl : 0; }

 private:
  int m_idLastControl = 0;
  bool m_bEditLastControl = false;
  bool m_bFailed = false;
};

// Reads a decimal integer as the dialog functions do: blanks around it
// allowed, an optional '-' when bSigned, digits, nothing else. Returns 0 when
// the text is not a number, 1 when it is, 2 when it is a number beyond the
// int range (value then holds the nearest limit).
int ParseIntText(const std::string& text, bool bSigned, int& value);

// Integer: written as "%d"; read as a signed decimal number with blanks
// around it allowed ("请输入一个整数。" otherwise). A number beyond the int
// range reads as the nearest limit (and then fails any range check).
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// Text, GBK, byte for byte.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// On save: "请输入一个介于 %d 和 %d 之间的整数。" when value is outside
// minVal..maxVal. Validates the control of the DDX_ call before it.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
// Binds rControl to control nIDC the first time (it then receives
// PreSubclassWindow); later calls do nothing.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
