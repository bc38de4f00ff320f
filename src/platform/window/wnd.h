// The base of every window: command handlers by identifier, child controls
// by identifier, texts (GBK, byte for byte), enabling, timers, data exchange.
//
// A CWnd is a plain object; its window exists only while a backend has given
// it one (the Qt backend in the program and in GUI tests). Without a window
// every operation does nothing and reads give empty results, as the window
// system does for a window that is not there: in the Qt-free core build and
// in the headless bridge no window is ever created.
//
// Threads: everything here runs on the UI thread, except IsWindowCreated(),
// which any thread may call (the serial reader asks whether the console is up).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/templates.h"
#include "platform/window/win_types.h"

class CDataExchange;
class CWndPeer;

// Stand-in for the message map: handlers registered by identifier, usually in
// the constructor of the class that owns them:
//   MapCommand(1016, &CQuillonView::OnConnectSerial);
// A later registration for the same identifier replaces an earlier one, so a
// derived class overrides its base's entry.
class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget();
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // Runs this object's handler for command nId with notification nCode.
  // Returns 1 when a handler ran, 0 when the object has none.
  virtual int OnCmdMsg(unsigned nId, unsigned nCode);

 protected:
  // Button click (BN_CLICKED) or accelerator command nId.
  template <class T>
  void MapCommand(unsigned nId, void (T::*pfn)()) {
    T* self = static_cast<T*>(this);
    AddEntry(nId, nId, BN_CLICKED, [self, pfn](unsigned) { (self->*pfn)(); });
  }
  // Commands nFirst..nLast (inclusive); the handler receives the identifier.
  template <class T>
  void MapCommandRange(unsigned nFirst, unsigned nLast, void (T::*pfn)(unsigned)) {
    T* self = static_cast<T*>(this);
    AddEntry(nFirst, nLast, BN_CLICKED, [self, pfn](unsigned id) { (self->*pfn)(id); });
  }
  // Other notifications of control nId (CBN_SELCHANGE, CBN_EDITCHANGE, EN_CHANGE).
  template <class T>
  void MapNotify(unsigned nId, unsigned nCode, void (T::*pfn)()) {
    T* self = static_cast<T*>(this);
    AddEntry(nId, nId, nCode, [self, pfn](unsigned) { (self->*pfn)(); });
  }

 private:
  struct Entry {
    unsigned nFirst;
    unsigned nLast;
    unsigned nCode;
    std::function<void(unsigned)> handler;
  };
  void AddEntry(unsigned nFirst, unsigned nLast, unsigned nCode, std::function<void(unsigned)> handler);
  std::vector<Entry> m_commandMap;
};

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;

  // --- Identity ---------------------------------------------------------
  int GetDlgCtrlID() const { return m_nDlgCtrlId; }
  // Parent window of a control, owner of a dialog; may be nullptr.
  CWnd* GetParent() const { return m_pParentWnd; }
  // True from the creation of the window until it is destroyed. Set and
  // cleared on the UI thread; any thread may read it.
  bool IsWindowCreated() const { return m_bWindowCreated.load(std::memory_order_acquire); }

  // --- Child controls ---------------------------------------------------
  // The control with the identifier, or nullptr. Controls built from a
  // template are objects of the class of their kind (CEdit, CComboBox,
  // CButton, CListCtrl, CIPAddressCtrl, CStatic), or the member that
  // DDX_Control bound to the identifier.
  CWnd* GetDlgItem(int nId) const;
  // GetDlgItem as a given control class; nullptr when the kind differs.
  template <class T>
  T* GetDlgItemAs(int nId) const {
    return dynamic_cast<T*>(GetDlgItem(nId));
  }
  void SetDlgItemText(int nId, const std::string& text);
  std::string GetDlgItemText(int nId) const;
  // The control's text as a signed (or unsigned) decimal integer: leading and
  // trailing blanks allowed, nothing else. *pTranslated (when given) says
  // whether the text was a number; 0 is returned when it was not.
  int GetDlgItemInt(int nId, int* pTranslated = nullptr, bool bSigned = true) const;
  void SetDlgItemInt(int nId, int nValue, bool bSigned = true);

  // --- Text, state, geometry --------------------------------------------
  void SetWindowText(const std::string& text);  // GBK
  std::string GetWindowText() const;            // GBK
  void GetWindowText(std::string& text) const { text = GetWindowText(); }
  int GetWindowTextLength() const { return static_cast<int>(GetWindowText().size()); }

  // Returns 1 when the window was disabled before the call.
  int EnableWindow(bool bEnable = true);
  int IsWindowEnabled() const;
  // Returns 1 when the window was visible before the call.
  int ShowWindow(int nCmdShow);
  int IsWindowVisible() const;
  void SetFocus();
  // 1 when this window has the keyboard focus.
  int HasFocus() const;

  unsigned long GetStyle() const { return m_dwStyle; }
  unsigned long GetExStyle() const { return m_dwExStyle; }
  // Removes, then adds style bits; returns 1 when the style changed.
  int ModifyStyle(unsigned long dwRemove, unsigned long dwAdd);
  int ModifyStyleEx(unsigned long dwRemove, unsigned long dwAdd);

  // Suspends (false) and resumes (true) painting; a resume repaints.
  void SetRedraw(bool bRedraw = true);
  void Invalidate();

  // Pixels. Window rectangle of a control in its parent's client
  // coordinates, of a top-level window on the screen.
  void GetWindowRect(CRect* pRect) const;
  void GetClientRect(CRect* pRect) const;
  void MoveWindow(const CRect& rect);

  // --- Timers -----------------------------------------------------------
  // Starts (or restarts) timer nIdEvent with period nElapse ms; OnTimer
  // receives the identifier. Returns nIdEvent, or 0 without a window. Timers
  // end with the window.
  unsigned SetTimer(unsigned nIdEvent, unsigned nElapse);
  int KillTimer(unsigned nIdEvent);
  virtual void OnTimer(unsigned nIdEvent);

  // --- Data exchange ----------------------------------------------------
  // false: members → controls; true: controls → members with validation.
  // Returns 1 on success, 0 when a field failed: its message has been shown,
  // the focus is on it, and the fields after it were not exchanged.
  int UpdateData(bool bSaveAndValidate = true);
  // Identifier of the control at which the last UpdateData stopped, or 0
  // when it succeeded (or never ran).
  int GetExchangeFailedControl() const { return m_nExchangeFailedId; }
  virtual void DoDataExchange(CDataExchange* pDX);

  // --- Messages ---------------------------------------------------------
  // A control of this window (or an accelerator) sends command nId with
  // notification nCode. The default runs OnCmdMsg.
  virtual int OnCommand(unsigned nId, unsigned nCode);
  // The user asked to close the window (close box). Default: DestroyWindow.
  virtual void OnClose();
  // The window is about to go: children and timers still exist.
  virtual void OnDestroy();
  // Called when a control object is bound to an existing window
  // (DDX_Control), before any other use; set styles and columns here.
  virtual void PreSubclassWindow();
  // Destroys the window, its controls and its timers (the objects stay).
  // Returns 1 when there was a window.
  virtual int DestroyWindow();

  // Makes child (a status bar, a view) part of this window under nId: it is
  // destroyed with it, before it, the latest first.
  void AddChildWindow(CWnd& child, int nId);

  // --- Backend ----------------------------------------------------------
  CWndPeer* GetPeer() const { return m_pPeer.get(); }

 protected:
  // Gives the object its window (a backend peer). Marks it created.
  void AttachPeer(std::unique_ptr<CWndPeer> peer);
  // Builds the template's controls inside this window. Returns 1 on success.
  int CreateControls(const CDialogTemplate& dialogTemplate);
  void SetParentWnd(CWnd* pParent) { m_pParentWnd = pParent; }

 private:
  friend void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
  friend class CWindowBackendAccess;

  // Binds rControl (which has no window yet) to the control nId of this
  // window, in place of the object built from the template.
  int BindControl(int nId, CWnd& rControl);
  void ForgetChild(CWnd* pChild);
  void ReleaseWindow();

  std::unique_ptr<CWndPeer> m_pPeer;
  CWnd* m_pParentWnd = nullptr;
  int m_nDlgCtrlId = 0;
  unsigned long m_dwStyle = 0;
  unsigned long m_dwExStyle = 0;
  std::atomic<bool> m_bWindowCreated{false};
  int m_nExchangeFailedId = 0;
  bool m_bDestroying = false;
  // Controls by identifier (IDC_STATIC ones are only owned, not mapped).
  std::map<int, CWnd*> m_children;
  // Every control object attached to this window, in creation order.
  std::vector<CWnd*> m_attached;
  // Control objects built from the template.
  std::vector<std::unique_ptr<CWnd>> m_ownedChildren;
};
