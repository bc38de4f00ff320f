// quillon-bridge.exe as a Windows user meets it, started as a process: its
// arguments as UTF-16, its lines as UTF-8 on a pipe, Chinese when asked for,
// a name with Chinese characters whole. (Forwarding needs a real port: a
// guest's UART.)
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace {

struct BridgeRun {
  DWORD status = 0;
  std::string output;  // standard output and error, UTF-8
};

// The bridge beside this test in the build tree, with arguments given as
// UTF-8 and LANG set to language for it.
BridgeRun RunBridge(const std::string& arguments, const wchar_t* language) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring exe(self, n);
  exe = exe.substr(0, exe.find_last_of(L'\\')) + L"\\" + WideFromUtf8(QUILLON_BRIDGE_FROM_TEST);
  std::wstring command = L"\"" + exe + L"\" " + WideFromUtf8(arguments);

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  BridgeRun run;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  SetEnvironmentVariableW(L"LANG", language);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
  SetEnvironmentVariableW(L"LANG", nullptr);
  CloseHandle(writeEnd);
  if (started) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  } else {
    run.status = 99;
  }
  CloseHandle(readEnd);
  return run;
}

}  // namespace

TEST(Win32HeadlessBridge, SaysWhatIsWrongInTheUsersLanguage) {
  BridgeRun run = RunBridge("--bogus", L"C");
  EXPECT_EQ(run.status, 2u);
  EXPECT_NE(run.output.find("unknown option '--bogus'"), std::string::npos) << run.output;

  // 串口9 names no port: the cause names it whole, whatever the engine.
  run = RunBridge("--port \xE4\xB8\xB2\xE5\x8F\xA3" "9 --target 127.0.0.1:9", L"C");
  EXPECT_EQ(run.status, 1u);
  EXPECT_NE(run.output.find("cannot open the serial port: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\xE4\xB8\xB2\xE5\x8F\xA3" "9"), std::string::npos) << run.output;

  run = RunBridge("--port \xE4\xB8\xB2\xE5\x8F\xA3" "9 --target 127.0.0.1:9", L"zh_CN.UTF-8");
  EXPECT_EQ(run.status, 1u);
  // The headline 串口打开错误, in UTF-8.
  EXPECT_NE(run.output.find("\xE4\xB8\xB2\xE5\x8F\xA3\xE6\x89\x93\xE5\xBC\x80\xE9\x94\x99\xE8\xAF\xAF"),
            std::string::npos)
      << run.output;
}
