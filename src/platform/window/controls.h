// The controls of dialogs and forms. Each is a CWnd whose operations act on
// its window; without one they do nothing and report failure (-1, 0, empty).
// Texts are GBK byte strings; positions in edit texts count GBK bytes, as the
// Win32 edit control of an ANSI (code page) program does. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {
 public:
  // Runs the button's click as if the user had clicked it (enabled only).
  void Click();
};

class CEdit : public CWnd {
 public:
  // Selects bytes nStart..nEnd (nEnd -1: to the end). nStart -1 removes the
  // selection and leaves the caret where it is.
  void SetSel(int nStart, int nEnd);
  void GetSel(int& nStart, int& nEnd) const;
  // Replaces the selection (or inserts at the caret) with text, as one edit.
  // A multi-line edit shows "\r\n" as a line break; reading its text back
  // gives "\r\n" for every line break.
  void ReplaceSel(const std::string& text, bool bCanUndo = false);
  // Appends text at the end of the text, whatever the caret and selection,
  // with one replace-selection, and shows the end. The caret ends there.
  void AppendText(const std::string& text);
  int SetReadOnly(bool bReadOnly = true);
  int GetLineCount() const;
};

class CComboBox : public CWnd {
 public:
  // Index of the new item, or CB_ERR.
  int AddString(const std::string& text);
  // Inserts at nIndex (-1: at the end); index of the new item, or CB_ERR.
  int InsertString(int nIndex, const std::string& text);
  // Remaining count, or CB_ERR.
  int DeleteString(int nIndex);
  void ResetContent();
  int GetCount() const;
  // Selects item nSelect (-1: no selection); returns nSelect, or CB_ERR when
  // the index is out of range (then the selection is cleared).
  int SetCurSel(int nSelect);
  int GetCurSel() const;
  // Text of item nIndex; empty when out of range.
  std::string GetLBText(int nIndex) const;
  void GetLBText(int nIndex, std::string& text) const { text = GetLBText(nIndex); }
  // The tooltip shown over item nIndex in the open list (GBK; may span
  // lines); empty removes it. nIndex, or CB_ERR when out of range.
  int SetItemTip(int nIndex, const std::string& text);
  // First item equal to text (exact bytes) from nStartAfter + 1, or CB_ERR.
  int FindStringExact(int nStartAfter, const std::string& text) const;
  // Window text: the edit field of an editable combo box, the selected
  // item's text of a drop-down list.
};

class CListCtrl : public CWnd {
 public:
  // Inserts column nCol; nFormat LVCFMT_LEFT/CENTER/RIGHT (the first column
  // is drawn left-aligned whatever it asks, as the platform's list view does).
  // Returns the new column's index, or -1.
  int InsertColumn(int nCol, const std::string& heading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1);
  int DeleteColumn(int nCol);
  int GetColumnCount() const;
  int GetColumnWidth(int nCol) const;
  // cx in pixels, or LVSCW_AUTOSIZE / LVSCW_AUTOSIZE_USEHEADER.
  int SetColumnWidth(int nCol, int cx);
  std::string GetColumnHeading(int nCol) const;
  int GetColumnFormat(int nCol) const;

  // Inserts a row at nItem (clamped to the row count) with text in column 0.
  // Returns the new row's index, or -1.
  int InsertItem(int nItem, const std::string& text);
  int DeleteItem(int nItem);
  int DeleteAllItems();
  int GetItemCount() const;
  int SetItemText(int nItem, int nSubItem, const std::string& text);
  std::string GetItemText(int nItem, int nSubItem) const;
  int SetItemData(int nItem, std::uintptr_t dwData);
  std::uintptr_t GetItemData(int nItem) const;

  // LVS_EX_GRIDLINES, LVS_EX_FULLROWSELECT.
  unsigned long SetExtendedStyle(unsigned long dwExStyle);
  unsigned long GetExtendedStyle() const { return GetExStyle(); }

  int GetSelectionMark() const;
  int SetSelectionMark(int nItem);
};

class CIPAddressCtrl : public CWnd {
 public:
  // Number of fields that are not blank; blank fields read as 0.
  int GetAddress(std::uint8_t& nField0, std::uint8_t& nField1, std::uint8_t& nField2,
                 std::uint8_t& nField3) const;
  // Address as one number, field 0 in the top byte.
  int GetAddress(std::uint32_t& dwAddress) const;
  void SetAddress(std::uint8_t nField0, std::uint8_t nField1, std::uint8_t nField2, std::uint8_t nField3);
  void SetAddress(std::uint32_t dwAddress);
  void ClearAddress();
  int IsBlank() const;
  // Window text is the dotted form ("192.168.0.1"), blank fields empty.
};
