#include "platform/window/win32/win32_backend.h"

#include "platform/window/win32/win32_system.h"

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/window/app.h"
#include "platform/window/backend.h"
#include "platform/window/win32/win32_modal.h"
#include "platform/window/win32/win32_text.h"
#include "platform/window/win32/win32_ui_font.h"

namespace {

// Per-monitor (v2) awareness, as the program's manifest asks for it; for a
// process without that manifest (tests) the same, where the system has it.
void AskForPerMonitorDpi() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2; refused (and harmless) when
  // the manifest has set it already.
  if (setContext) setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}

// The command line as the user typed it, as the program holds names (GBK,
// through code page 936), whatever the system's own code page.
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 0; i < count; ++i) args.push_back(WideToGbk(std::wstring(wide[i])));
  LocalFree(wide);
  return args;
}

}  // namespace

void InstallWin32WindowBackend() {
  if (GetWindowBackend() == &Win32WindowBackend()) return;
  AskForPerMonitorDpi();
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
  InitCommonControlsEx(&icc);
  ChooseUiFontFace();
  SetWindowBackend(&Win32WindowBackend());
  SetMessageBoxHandler(ShowWin32MessageBox);
}

int Win32WinMain(int argc, char** argv) {
  InstallWin32WindowBackend();
  std::vector<std::string> args = CommandLineArguments();
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const int code = args.empty() ? AfxWinMain(argc, argv)
                                : AfxWinMain(static_cast<int>(args.size()), pointers.data());
  SetMessageBoxHandler(MessageBoxHandler());
  SetWindowBackend(nullptr);
  return code;
}
