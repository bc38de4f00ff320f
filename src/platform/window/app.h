// The application object: start-up hook and message loop. Exactly one exists;
// it registers itself on construction. The program's main() hands control to
// AfxWinMain after the window backend is installed. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/window/wnd.h"

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const std::string& appName = std::string());
  ~CWinApp() override;

  // Start-up: create the main window here. Return 0 to end the program.
  virtual int InitInstance();
  // Runs the message loop until AfxPostQuitMessage; then ExitInstance.
  // Returns the exit code.
  virtual int Run();
  // Last call before the program ends; returns the exit code.
  virtual int ExitInstance();

  CWnd* m_pMainWnd = nullptr;
  std::string m_strAppName;            // GBK; message box captions
  std::vector<std::string> m_argv;     // command line, argv[0] first
  int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// Ends the message loop with the exit code once the current handler returns.
void AfxPostQuitMessage(int nExitCode);
// InitInstance, then Run (or ExitInstance when InitInstance failed).
int AfxWinMain(int argc, char** argv);
