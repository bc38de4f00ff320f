// The seam between the window layer and the toolkit that draws it. A backend
// (the Qt one in window/qt) creates peers: one per window or control, owned
// by its CWnd, destroyed with the window. No toolkit type appears here.
//
// Everything runs on the UI thread. Peers call back into their owners (and
// controls into their parent window's OnCommand) only from the UI thread's
// event loop, never after the peer has been destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/templates.h"
#include "platform/window/win_types.h"

class CDialog;
class CFormView;
class CFrameWnd;
class CStatusBar;
class CWnd;

class CWndPeer {
 public:
  virtual ~CWndPeer();
  // Another object (the member that DDX_Control binds) owns the peer now.
  virtual void Rebind(CWnd& newOwner) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string GetText() const = 0;
  virtual void SetEnabled(bool bEnable) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void SetVisible(bool bVisible) = 0;
  virtual bool IsVisible() const = 0;
  virtual void SetFocus() = 0;
  virtual bool HasFocus() const = 0;
  virtual void SetRedraw(bool bRedraw) = 0;
  virtual void Invalidate() = 0;
  // The owner's style bits changed (WS_DISABLED and WS_VISIBLE excepted,
  // which arrive through SetEnabled and SetVisible).
  virtual void ApplyStyle(unsigned long dwStyle, unsigned long dwExStyle) = 0;
  virtual CRect GetWindowRect() const = 0;
  virtual CRect GetClientRect() const = 0;
  virtual void Move(const CRect& rect) = 0;
  // Timers call the owner's OnTimer with the identifier.
  virtual bool SetTimer(unsigned nIdEvent, unsigned nElapse) = 0;
  virtual bool KillTimer(unsigned nIdEvent) = 0;
};

class CButtonPeer : public CWndPeer {
 public:
  virtual void Click() = 0;
};

class CEditPeer : public CWndPeer {
 public:
  virtual void SetSel(int nStart, int nEnd) = 0;
  virtual void GetSel(int& nStart, int& nEnd) const = 0;
  virtual void ReplaceSel(const std::string& text, bool bCanUndo) = 0;
  virtual void AppendText(const std::string& text) = 0;
  virtual int GetLineCount() const = 0;
};

class CComboPeer : public CWndPeer {
 public:
  virtual int InsertString(int nIndex, const std::string& text) = 0;
  virtual int DeleteString(int nIndex) = 0;
  virtual void ResetContent() = 0;
  virtual int GetCount() const = 0;
  virtual int SetCurSel(int nSelect) = 0;
  virtual int GetCurSel() const = 0;
  virtual std::string GetLBText(int nIndex) const = 0;
  // The tooltip of item nIndex (GBK); empty removes it. CB_ERR out of range.
  virtual int SetItemTip(int nIndex, const std::string& text) { return CB_ERR; }
};

class CListPeer : public CWndPeer {
 public:
  virtual int InsertColumn(int nCol, const std::string& heading, int nFormat, int nWidth) = 0;
  virtual int DeleteColumn(int nCol) = 0;
  virtual int GetColumnCount() const = 0;
  virtual int GetColumnWidth(int nCol) const = 0;
  virtual int SetColumnWidth(int nCol, int cx) = 0;
  virtual std::string GetColumnHeading(int nCol) const = 0;
  virtual int GetColumnFormat(int nCol) const = 0;
  virtual int InsertItem(int nItem, const std::string& text) = 0;
  virtual int DeleteItem(int nItem) = 0;
  virtual int DeleteAllItems() = 0;
  virtual int GetItemCount() const = 0;
  virtual int SetItemText(int nItem, int nSubItem, const std::string& text) = 0;
  virtual std::string GetItemText(int nItem, int nSubItem) const = 0;
  virtual int SetItemData(int nItem, std::uintptr_t dwData) = 0;
  virtual std::uintptr_t GetItemData(int nItem) const = 0;
  virtual int GetSelectionMark() const = 0;
  virtual int SetSelectionMark(int nItem) = 0;
};

class CIpAddressPeer : public CWndPeer {
 public:
  // Fields -1 are blank.
  virtual void GetFields(int fields[4]) const = 0;
  virtual void SetFields(const int fields[4]) = 0;
};

class CDialogPeer : public CWndPeer {
 public:
  // Shows the dialog and runs the window layer's modal loop until EndModal.
  virtual void RunModal() = 0;
  virtual void EndModal(int nResult) = 0;
};

class CFramePeer : public CWndPeer {
 public:
  // The view's window becomes the client area (above the status bar).
  virtual void SetView(CWndPeer* pViewPeer) = 0;
  virtual void SetClientSize(int cx, int cy) = 0;
  virtual CSize GetClientSize() const = 0;
  virtual void RecalcLayout() = 0;
  virtual void SetAccelerators(const std::vector<CAccelerator>& accelerators) = 0;
  virtual void Show(int nCmdShow) = 0;
};

class CStatusBarPeer : public CWndPeer {
 public:
  virtual void SetPanes(const std::vector<std::string>& texts, const std::vector<bool>& on) = 0;
};

class CWindowBackend {
 public:
  virtual ~CWindowBackend();
  // Logical dots per inch of the screen (96 on a plain screen).
  virtual int LogicalDpi() const = 0;
  // Pixels that cx × cy dialog units take in this backend's windows. The
  // default is the fixed base units of DialogUnitsToPixels at LogicalDpi; a
  // backend whose dialog manager lays templates out in the UI font's own
  // base units says what they come to.
  virtual CSize MapDialogSize(int cx, int cy) const;
  // A modal dialog's window, not yet shown; nullptr on failure.
  virtual std::unique_ptr<CDialogPeer> CreateDialogWindow(CDialog& owner, const CDialogTemplate& dlg,
                                                          CWnd* pOwnerWnd) = 0;
  // A form's window inside the frame's client area.
  virtual std::unique_ptr<CWndPeer> CreateFormWindow(CFormView& owner, const CDialogTemplate& form,
                                                     CFrameWnd& frame) = 0;
  virtual std::unique_ptr<CFramePeer> CreateFrameWindow(CFrameWnd& owner, const CCreateStruct& cs,
                                                        CWnd* pParentWnd) = 0;
  virtual std::unique_ptr<CStatusBarPeer> CreateStatusBar(CStatusBar& owner, CFrameWnd& frame) = 0;
  // A control of the template inside parent's window; control is the object
  // that will own the peer (its kind matches ctl.kind). Commands go to parent.
  virtual std::unique_ptr<CWndPeer> CreateControl(CWnd& parent, CWnd& control, const CControlTemplate& ctl) = 0;
  // Runs the application's event loop until QuitMessageLoop.
  virtual int RunMessageLoop() = 0;
  virtual void QuitMessageLoop(int nExitCode) = 0;
};

// The installed backend, or nullptr (no windows). Installed once at start-up
// by the program or a GUI test, before any window is created.
void SetWindowBackend(CWindowBackend* pBackend);
CWindowBackend* GetWindowBackend();
