#include "platform/process_start.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/win32/wide_text.h"

bool MakeStandardDescriptorsValid() { return true; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return arguments;
  }
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

void DiscardStandardOutput() {
  if (std::freopen("NUL", "w", stdout) == nullptr) std::clearerr(stdout);
}
