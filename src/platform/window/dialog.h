// Modal dialogs built from a template. DoModal creates the window and its
// controls, runs OnInitDialog, then the one modal loop of the window layer
// (which GUI tests redirect so that nothing blocks), and destroys the window
// when EndDialog has been called. Keys and the close box take the paths a
// Win32 dialog box gives them: Escape → command IDCANCEL → OnCancel; close box → OnClose →
// (default) OnCancel; Enter → the command of the focused push button, else of
// the default button (BS_DEFPUSHBUTTON), else IDOK.
//
// Without a window backend (core build, headless bridge) DoModal returns
// IDCANCEL at once and no window ever exists. UI thread only.
#pragma once

#include "platform/window/templates.h"
#include "platform/window/wnd.h"

class CDialog : public CWnd {
 public:
  // The template must outlive the dialog (a static constant).
  explicit CDialog(const CDialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Result given to EndDialog, or IDCANCEL when no window could be created.
  virtual int DoModal();
  // Ends the modal loop once the current handler returns.
  void EndDialog(int nResult);

  // Default: UpdateData(false); returns 1 (the framework then focuses the
  // first control that takes the focus).
  virtual int OnInitDialog();
  // Default: UpdateData(true), and EndDialog(IDOK) when it succeeded.
  virtual void OnOK();
  // Default: EndDialog(IDCANCEL).
  virtual void OnCancel();
  // Close box. Default: the cancel command (OnCancel).
  void OnClose() override;
  // IDOK and IDCANCEL reach OnOK and OnCancel unless the class maps them.
  int OnCommand(unsigned nId, unsigned nCode) override;

  const CDialogTemplate& GetTemplate() const { return *m_pTemplate; }
  // Identifier of the default button from the template (or 0).
  int GetDefID() const;

 private:
  const CDialogTemplate* m_pTemplate;
  int m_nModalResult = IDCANCEL;
  bool m_bEnded = false;
};
