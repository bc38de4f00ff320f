// Frame windows with a status bar and accelerators, and form views shown
// inside a frame. The frame routes commands (accelerators) to its active
// view first, then to itself, then to the application object. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/window/templates.h"
#include "platform/window/wnd.h"

class CFormView;

class CFrameWnd : public CWnd {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Creates the frame: PreCreateWindow (0 cancels), the window, then
  // OnCreate (-1 destroys it again). Returns 1 on success, 0 otherwise.
  // Without a window backend returns 0.
  int Create(const std::string& title, unsigned long dwStyle = WS_OVERLAPPEDWINDOW,
             CWnd* pParentWnd = nullptr);
  // May change the creation parameters; return 0 to cancel the creation.
  // A frame without WS_THICKFRAME cannot be resized by the user, one
  // without WS_MAXIMIZEBOX cannot be maximised.
  virtual int PreCreateWindow(CCreateStruct& cs);
  // After the window exists; return -1 to fail the creation, else 0.
  virtual int OnCreate(CCreateStruct* pCreateStruct);

  // The view that fills the client area above the status bar.
  CFormView* GetActiveView() const { return m_pActiveView; }
  void SetActiveView(CFormView* pView) { m_pActiveView = pView; }
  // Lays the view and the status bar out again.
  void RecalcLayout();
  // Shows text (GBK) in the message pane of the frame's status bar. Default:
  // nothing (a frame without one).
  virtual void SetMessageText(const std::string& text);
  // Sets the client area (view part, above any status bar) to cx × cy pixels.
  void SetClientSize(int cx, int cy);
  CSize GetClientSize() const;

  // Key → command, dispatched through OnCommand (view, frame, application).
  int LoadAccelTable(const std::vector<CAccelerator>& accelerators);

  // Shows the frame (SW_SHOW, SW_SHOWNORMAL, SW_SHOWMINIMIZED).
  void ActivateFrame(int nCmdShow = SW_SHOW);

  int OnCmdMsg(unsigned nId, unsigned nCode) override;
  // Close box: DestroyWindow; the application's main window also ends the
  // message loop.
  void OnClose() override;
  int DestroyWindow() override;

 private:
  friend class CFormView;
  CFormView* m_pActiveView = nullptr;
};

// Status bar of a frame: panes from left to right, the first one stretching
// (the message pane), the others sized to their texts.
class CStatusBar : public CWnd {
 public:
  // Creates the bar at the bottom of the frame. Returns 1 on success.
  int Create(CFrameWnd* pParentWnd);
  // One pane per text (GBK); replaces any earlier panes. Returns 1 on success.
  int SetIndicators(const std::vector<std::string>& paneTexts);
  int GetCount() const { return static_cast<int>(m_paneTexts.size()); }
  int SetPaneText(int nIndex, const std::string& text);
  std::string GetPaneText(int nIndex) const;
  // An indicator that is off keeps its place and shows no text.
  int SetPaneOn(int nIndex, bool bOn);
  bool IsPaneOn(int nIndex) const;

 private:
  std::vector<std::string> m_paneTexts;
  std::vector<bool> m_paneOn;
};

// A window built from a template that fills its frame's client area.
class CFormView : public CWnd {
 public:
  // The template must outlive the view (a static constant).
  explicit CFormView(const CDialogTemplate& formTemplate);
  ~CFormView() override;

  // Creates the form's window and controls inside the frame and makes it
  // the frame's active view. Returns 1 on success, 0 otherwise.
  int Create(CFrameWnd* pParentFrame);
  // Default: UpdateData(false).
  virtual void OnInitialUpdate();
  // Sizes the frame's client area to the form (bShrinkOnly: never grows it).
  void ResizeParentToFit(bool bShrinkOnly = true);
  CFrameWnd* GetParentFrame() const { return m_pFrame; }
  const CDialogTemplate& GetTemplate() const { return *m_pTemplate; }
  // The form's size in pixels at the screen's logical dpi.
  CSize GetTotalSize() const;
  int DestroyWindow() override;

 private:
  const CDialogTemplate* m_pTemplate;
  CFrameWnd* m_pFrame = nullptr;
};
