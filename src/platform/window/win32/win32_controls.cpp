// The controls of dialogs and forms on the system's own: static texts and
// frames, push buttons, edits, combo boxes, the report list view and the
// IPv4 address control. The dialog manager has made each of them from the
// template; their peers translate the window layer's calls into the
// controls' messages, texts through code page 936.
#include "platform/window/win32/win32_system.h"

#include <algorithm>
#include <vector>

#include "platform/window/win32/win32_peers.h"
#include "platform/window/win32/win32_text.h"

namespace {

std::wstring WindowTextWide(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got));
  return text;
}

// ---------------------------------------------------------- simple controls

class Win32StaticPeer : public Win32Peer<CWndPeer> {
 public:
  Win32StaticPeer(CWnd& owner, HWND hwnd) : Win32Peer<CWndPeer>(owner, hwnd, true) {}
};

class Win32ButtonPeer : public Win32Peer<CButtonPeer> {
 public:
  Win32ButtonPeer(CWnd& owner, HWND hwnd) : Win32Peer<CButtonPeer>(owner, hwnd, true) {}
  void Click() override {
    // As the user's click: only an enabled button sends its command.
    if (!m_hwnd || !IsWindowEnabled(m_hwnd)) return;
    HWND parent = GetParent(m_hwnd);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hwnd), BN_CLICKED), reinterpret_cast<LPARAM>(m_hwnd));
  }
};

// -------------------------------------------------------------------- edits

class Win32EditPeer : public Win32Peer<CEditPeer> {
 public:
  Win32EditPeer(CWnd& owner, HWND hwnd) : Win32Peer<CEditPeer>(owner, hwnd, true) {
    // The program bounds what it puts in (the panes empty themselves); the
    // edit control's default limit of 30000 characters would cut a pane short.
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
  }

  void SetSel(int nStart, int nEnd) override {
    if (!m_hwnd) return;
    if (nStart < 0) {
      SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(-1), 0);
      return;
    }
    const std::wstring text = WindowTextWide(m_hwnd);
    const int from = WideIndexOfByte(text, nStart);
    const int to = nEnd < 0 ? static_cast<int>(text.size()) : WideIndexOfByte(text, nEnd);
    SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
  }

  void GetSel(int& nStart, int& nEnd) const override {
    nStart = nEnd = 0;
    if (!m_hwnd) return;
    DWORD from = 0, to = 0;
    SendMessageW(m_hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const std::wstring text = WindowTextWide(m_hwnd);
    nStart = ByteOfWideIndex(text, static_cast<int>(from));
    nEnd = ByteOfWideIndex(text, static_cast<int>(to));
  }

  void ReplaceSel(const std::string& text, bool bCanUndo) override {
    if (m_hwnd) SendMessageW(m_hwnd, EM_REPLACESEL, bCanUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(GbkToWide(text).c_str()));
  }

  void AppendText(const std::string& text) override {
    if (!m_hwnd) return;
    const bool multiLine = GetWindowLongW(m_hwnd, GWL_STYLE) & ES_MULTILINE;
    if (!multiLine) {
      const int end = GetWindowTextLengthW(m_hwnd);
      SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
      SendMessageW(m_hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(GbkToWide(text).c_str()));
      return;
    }
    // One replace-selection at the end; the user's caret and selection are
    // put back afterwards (so a selection can be copied while text streams
    // in). The view follows the new text only while it shows the end.
    DWORD from = 0, to = 0;
    SendMessageW(m_hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_ALL;
    const bool hasBar = GetScrollInfo(m_hwnd, SB_VERT, &bar);
    const bool atEnd = !hasBar || bar.nPos + static_cast<int>(bar.nPage) > bar.nMax;
    const int firstLine = static_cast<int>(SendMessageW(m_hwnd, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    const int end = GetWindowTextLengthW(m_hwnd);
    SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(m_hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(GbkToWide(text).c_str()));
    SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    const int nowFirst = static_cast<int>(SendMessageW(m_hwnd, EM_GETFIRSTVISIBLELINE, 0, 0));
    if (atEnd) {
      SendMessageW(m_hwnd, WM_VSCROLL, SB_BOTTOM, 0);
    } else if (nowFirst != firstLine) {
      SendMessageW(m_hwnd, EM_LINESCROLL, 0, firstLine - nowFirst);
    }
    SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hwnd, nullptr, TRUE);
  }

  int GetLineCount() const override {
    return m_hwnd ? static_cast<int>(SendMessageW(m_hwnd, EM_GETLINECOUNT, 0, 0)) : 0;
  }

  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override {
    if (!m_hwnd) return;
    // Read-only is a state the control keeps itself; the rest are styles.
    SendMessageW(m_hwnd, EM_SETREADONLY, (dwStyle & ES_READONLY) ? TRUE : FALSE, 0);
    Win32Peer<CEditPeer>::ApplyStyle((dwStyle & ~ES_READONLY) |
                                         (GetWindowLongW(m_hwnd, GWL_STYLE) & ES_READONLY),
                                     dwExStyle);
  }
};

// -------------------------------------------------------------- combo boxes

class Win32ComboPeer : public Win32Peer<CComboPeer> {
 public:
  Win32ComboPeer(CWnd& owner, HWND hwnd) : Win32Peer<CComboPeer>(owner, hwnd, true) {}

  bool Editable() const { return (GetWindowLongW(m_hwnd, GWL_STYLE) & 3) == CBS_DROPDOWN; }

  void SetText(const std::string& text) override {
    if (!m_hwnd) return;
    if (Editable()) {
      SetWindowTextW(m_hwnd, GbkToWide(text).c_str());
      return;
    }
    // A list without an edit field shows only its items: the exact one.
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
      if (GetLBText(i) == text) {
        SetCurSel(i);
        return;
      }
    }
  }

  int InsertString(int nIndex, const std::string& text) override {
    if (!m_hwnd) return CB_ERR;
    if (nIndex > GetCount()) return CB_ERR;
    const LRESULT at = SendMessageW(m_hwnd, CB_INSERTSTRING, static_cast<WPARAM>(nIndex < 0 ? -1 : nIndex),
                                    reinterpret_cast<LPARAM>(GbkToWide(text).c_str()));
    return at < 0 ? CB_ERR : static_cast<int>(at);
  }
  int DeleteString(int nIndex) override {
    if (!m_hwnd) return CB_ERR;
    const LRESULT left = SendMessageW(m_hwnd, CB_DELETESTRING, static_cast<WPARAM>(nIndex), 0);
    return left < 0 ? CB_ERR : static_cast<int>(left);
  }
  void ResetContent() override {
    if (m_hwnd) SendMessageW(m_hwnd, CB_RESETCONTENT, 0, 0);
  }
  int GetCount() const override { return m_hwnd ? static_cast<int>(SendMessageW(m_hwnd, CB_GETCOUNT, 0, 0)) : CB_ERR; }
  int SetCurSel(int nSelect) override {
    if (!m_hwnd) return CB_ERR;
    if (nSelect < 0 || nSelect >= GetCount()) {
      // Out of range, the selection goes, as the Win32 combo box does.
      SendMessageW(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      return nSelect == -1 ? -1 : CB_ERR;
    }
    const LRESULT r = SendMessageW(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(nSelect), 0);
    return r < 0 ? CB_ERR : static_cast<int>(r);
  }
  int GetCurSel() const override {
    return m_hwnd ? static_cast<int>(SendMessageW(m_hwnd, CB_GETCURSEL, 0, 0)) : CB_ERR;
  }
  std::string GetLBText(int nIndex) const override {
    if (!m_hwnd || nIndex < 0) return std::string();
    const LRESULT length = SendMessageW(m_hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT got = SendMessageW(m_hwnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer.data()));
    return got <= 0 ? std::string() : WideToGbk(buffer.data(), static_cast<int>(got));
  }
};

// ---------------------------------------------------------- list view

class Win32ListPeer : public Win32Peer<CListPeer> {
 public:
  Win32ListPeer(CWnd& owner, HWND hwnd) : Win32Peer<CListPeer>(owner, hwnd, true) {}

  void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) override {
    if (!m_hwnd) return;
    Win32Peer<CListPeer>::ApplyStyle(dwStyle, 0);
    // The layer keeps the list view's extended styles as the control's.
    SendMessageW(m_hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                 static_cast<LPARAM>(dwExStyle & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT)));
  }

  int InsertColumn(int nCol, const std::string& heading, int nFormat, int nWidth) override {
    if (!m_hwnd || nCol < 0) return -1;
    std::wstring text = GbkToWide(heading);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM | (nWidth >= 0 ? LVCF_WIDTH : 0);
    column.fmt = nFormat & 3;
    column.cx = nWidth;
    column.pszText = text.data();
    column.iSubItem = nCol;
    const int at = static_cast<int>(SendMessageW(m_hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(nCol),
                                                 reinterpret_cast<LPARAM>(&column)));
    if (at < 0) return -1;
    m_formats.insert(m_formats.begin() + std::min<std::size_t>(static_cast<std::size_t>(at), m_formats.size()), nFormat);
    return at;
  }
  int DeleteColumn(int nCol) override {
    if (!m_hwnd || nCol < 0 || nCol >= GetColumnCount()) return 0;
    if (!SendMessageW(m_hwnd, LVM_DELETECOLUMN, static_cast<WPARAM>(nCol), 0)) return 0;
    if (nCol < static_cast<int>(m_formats.size())) m_formats.erase(m_formats.begin() + nCol);
    return 1;
  }
  int GetColumnCount() const override {
    if (!m_hwnd) return 0;
    HWND header = reinterpret_cast<HWND>(SendMessageW(m_hwnd, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  }
  int GetColumnWidth(int nCol) const override {
    if (!m_hwnd || nCol < 0 || nCol >= GetColumnCount()) return 0;
    return static_cast<int>(SendMessageW(m_hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol), 0));
  }
  int SetColumnWidth(int nCol, int cx) override {
    if (!m_hwnd || nCol < 0 || nCol >= GetColumnCount()) return 0;
    // LVSCW_AUTOSIZE and LVSCW_AUTOSIZE_USEHEADER are the control's own.
    if (cx >= 0 && GetColumnWidth(nCol) == cx) return 1;
    return SendMessageW(m_hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nCol), MAKELPARAM(cx, 0)) ? 1 : 0;
  }
  std::string GetColumnHeading(int nCol) const override {
    if (!m_hwnd || nCol < 0 || nCol >= GetColumnCount()) return std::string();
    wchar_t buffer[256] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = buffer;
    column.cchTextMax = 255;
    if (!SendMessageW(m_hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&column))) {
      return std::string();
    }
    return WideToGbk(std::wstring(column.pszText));
  }
  int GetColumnFormat(int nCol) const override {
    if (nCol < 0 || nCol >= static_cast<int>(m_formats.size())) return LVCFMT_LEFT;
    return m_formats[static_cast<std::size_t>(nCol)];
  }

  int InsertItem(int nItem, const std::string& text) override {
    if (!m_hwnd || nItem < 0) return -1;
    std::wstring wide = GbkToWide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = std::min(nItem, GetItemCount());
    item.pszText = wide.data();
    const LRESULT at = SendMessageW(m_hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return at < 0 ? -1 : static_cast<int>(at);
  }
  int DeleteItem(int nItem) override {
    if (!m_hwnd || nItem < 0 || nItem >= GetItemCount()) return 0;
    return SendMessageW(m_hwnd, LVM_DELETEITEM, static_cast<WPARAM>(nItem), 0) ? 1 : 0;
  }
  int DeleteAllItems() override { return m_hwnd && SendMessageW(m_hwnd, LVM_DELETEALLITEMS, 0, 0) ? 1 : 0; }
  int GetItemCount() const override {
    return m_hwnd ? static_cast<int>(SendMessageW(m_hwnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
  }
  int SetItemText(int nItem, int nSubItem, const std::string& text) override {
    if (!ValidCell(nItem, nSubItem)) return 0;
    // The row's cells are reused: only a text that changed is set.
    if (GetItemText(nItem, nSubItem) == text) return 1;
    std::wstring wide = GbkToWide(text);
    LVITEMW item{};
    item.iSubItem = nSubItem;
    item.pszText = wide.data();
    return SendMessageW(m_hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)) ? 1 : 0;
  }
  std::string GetItemText(int nItem, int nSubItem) const override {
    if (!ValidCell(nItem, nSubItem)) return std::string();
    std::vector<wchar_t> buffer(256);
    for (;;) {
      LVITEMW item{};
      item.iSubItem = nSubItem;
      item.pszText = buffer.data();
      item.cchTextMax = static_cast<int>(buffer.size());
      const int got = static_cast<int>(
          SendMessageW(m_hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
      if (got < static_cast<int>(buffer.size()) - 1) return WideToGbk(buffer.data(), got);
      buffer.resize(buffer.size() * 2);
    }
  }
  int SetItemData(int nItem, std::uintptr_t dwData) override {
    if (!ValidCell(nItem, 0)) return 0;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return SendMessageW(m_hwnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? 1 : 0;
  }
  std::uintptr_t GetItemData(int nItem) const override {
    if (!ValidCell(nItem, 0)) return 0;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    if (!SendMessageW(m_hwnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<std::uintptr_t>(item.lParam);
  }
  int GetSelectionMark() const override {
    return m_hwnd ? static_cast<int>(SendMessageW(m_hwnd, LVM_GETSELECTIONMARK, 0, 0)) : -1;
  }
  int SetSelectionMark(int nItem) override {
    if (!m_hwnd) return -1;
    const int previous = GetSelectionMark();
    if (nItem >= 0 && nItem < GetItemCount()) {
      // The mark and the row it marks, selected and focused.
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      item.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(m_hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
      SendMessageW(m_hwnd, LVM_SETSELECTIONMARK, 0, nItem);
    }
    return previous;
  }

 private:
  bool ValidCell(int nItem, int nSubItem) const {
    return m_hwnd && nItem >= 0 && nItem < GetItemCount() && nSubItem >= 0 && nSubItem < GetColumnCount();
  }
  std::vector<int> m_formats;
};

// --------------------------------------------------------- address control

class Win32IpAddressPeer : public Win32Peer<CIpAddressPeer> {
 public:
  Win32IpAddressPeer(CWnd& owner, HWND hwnd) : Win32Peer<CIpAddressPeer>(owner, hwnd, true) {}

  // The control's four field edits, left to right.
  std::vector<HWND> Fields() const {
    std::vector<HWND> fields;
    if (!m_hwnd) return fields;
    for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) fields.push_back(child);
    std::sort(fields.begin(), fields.end(), [](HWND a, HWND b) {
      RECT ra{}, rb{};
      ::GetWindowRect(a, &ra);
      ::GetWindowRect(b, &rb);
      return ra.left < rb.left;
    });
    return fields;
  }

  void GetFields(int fields[4]) const override {
    for (int i = 0; i < 4; ++i) fields[i] = -1;
    const std::vector<HWND> edits = Fields();
    for (std::size_t i = 0; i < edits.size() && i < 4; ++i) {
      const std::string text = WindowTextOf(edits[i]);
      if (text.empty()) continue;
      int value = 0;
      for (char c : text) value = c >= '0' && c <= '9' ? std::min(255, value * 10 + (c - '0')) : value;
      fields[i] = value;
    }
  }
  void SetFields(const int fields[4]) override {
    if (!m_hwnd) return;
    bool blank = false;
    for (int i = 0; i < 4; ++i) blank = blank || fields[i] < 0;
    if (!blank) {
      auto byte = [](int v) { return static_cast<BYTE>(std::min(v, 255)); };
      SendMessageW(m_hwnd, IPM_SETADDRESS, 0,
                   static_cast<LPARAM>(MAKEIPADDRESS(byte(fields[0]), byte(fields[1]), byte(fields[2]), byte(fields[3]))));
      return;
    }
    const std::vector<HWND> edits = Fields();
    for (std::size_t i = 0; i < edits.size() && i < 4; ++i) {
      const int v = fields[i];
      SetWindowTextW(edits[i], v < 0 ? L"" : std::to_wstring(std::min(v, 255)).c_str());
    }
  }
  // "a.b.c.d"; blank fields are empty between the dots.
  std::string GetText() const override {
    int fields[4];
    GetFields(fields);
    std::string text;
    for (int i = 0; i < 4; ++i) {
      if (i > 0) text += '.';
      if (fields[i] >= 0) text += std::to_string(fields[i]);
    }
    return text;
  }
  // Anything unreadable blanks its field.
  void SetText(const std::string& text) override {
    int fields[4] = {-1, -1, -1, -1};
    std::size_t start = 0;
    for (int i = 0; i < 4 && start <= text.size(); ++i) {
      std::size_t dot = text.find('.', start);
      if (dot == std::string::npos) dot = text.size();
      std::string part = text.substr(start, dot - start);
      while (!part.empty() && part.front() == ' ') part.erase(part.begin());
      while (!part.empty() && part.back() == ' ') part.pop_back();
      if (!part.empty() && part.size() <= 3 && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int value = std::stoi(part);
        if (value <= 255) fields[i] = value;
      }
      start = dot + 1;
    }
    SetFields(fields);
  }
};

}  // namespace

std::unique_ptr<CWndPeer> CreateWin32Control(CWnd& control, const CControlTemplate& ctl, HWND hwnd) {
  if (!hwnd) return nullptr;
  switch (ctl.kind) {
    case CtlKind::Static:
    case CtlKind::GroupBox:
    case CtlKind::Frame:
      return std::make_unique<Win32StaticPeer>(control, hwnd);
    case CtlKind::PushButton:
      return std::make_unique<Win32ButtonPeer>(control, hwnd);
    case CtlKind::Edit: {
      auto edit = std::make_unique<Win32EditPeer>(control, hwnd);
      return edit;
    }
    case CtlKind::DropDownList:
    case CtlKind::DropDownCombo: {
      auto combo = std::make_unique<Win32ComboPeer>(control, hwnd);
      for (const std::string& item : ctl.items) combo->InsertString(-1, item);
      return combo;
    }
    case CtlKind::ListView: {
      auto list = std::make_unique<Win32ListPeer>(control, hwnd);
      list->ApplyStyle(control.GetStyle(), ctl.dwExStyle);
      return list;
    }
    case CtlKind::IpAddress:
      return std::make_unique<Win32IpAddressPeer>(control, hwnd);
  }
  return nullptr;
}
