// CMainFrame: the main window. Fixed size (no sizing border, no maximise
// box; minimising stays possible), sized to the form by the view's initial
// update, no menu bar and no toolbar, a status bar with the message pane
// "就绪" and the lock-key indicators "大写", "数字", "滚动". It prints the form
// (Ctrl+P) as it looks, through the print dialog. UI thread only.
#pragma once

#include "platform/window/frame.h"

class CDocument;

class CMainFrame : public CFrameWnd {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // The document whose name the print job carries. Not owned.
  void SetDocument(CDocument* pDocument) { m_pDocument = pDocument; }

  int PreCreateWindow(CCreateStruct& cs) override;
  int OnCreate(CCreateStruct* pCreateStruct) override;
  void OnTimer(unsigned nIdEvent) override;
  // The message pane ("就绪" at start).
  void SetMessageText(const std::string& text) override;

  // Ctrl+P: the print dialog, then the view as it looks on the screen.
  void OnFilePrint();

  // Reads the lock keys and lights their indicators (all off when the
  // platform does not say).
  void UpdateLockIndicators();

  CStatusBar m_wndStatusBar;

 private:
  CDocument* m_pDocument = nullptr;
  bool m_bLockKeysKnown = false;
};
