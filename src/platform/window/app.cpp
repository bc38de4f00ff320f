#include "platform/window/app.h"

#include "platform/window/backend.h"

namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp(const std::string& appName) : m_strAppName(appName) {
  if (!g_app) g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::InitInstance() { return 1; }

int CWinApp::Run() {
  CWindowBackend* backend = GetWindowBackend();
  if (backend) m_nExitCode = backend->RunMessageLoop();
  return ExitInstance();
}

int CWinApp::ExitInstance() { return m_nExitCode; }

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

void AfxPostQuitMessage(int nExitCode) {
  if (g_app) g_app->m_nExitCode = nExitCode;
  if (CWindowBackend* backend = GetWindowBackend()) backend->QuitMessageLoop(nExitCode);
}

int AfxWinMain(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  app->m_argv.assign(argv, argv + argc);
  if (!app->InitInstance()) {
    // A start-up that failed ends the program with a failure status.
    app->m_nExitCode = 1;
    app->ExitInstance();
    return 1;
  }
  return app->Run();
}
