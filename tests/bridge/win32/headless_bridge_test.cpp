// quillon-bridge.exe as a Windows user meets it, started as a process: its
// arguments as UTF-16, its lines as UTF-8 on a pipe, Chinese when asked for,
// and names with Chinese characters and Windows device names understood.
// (Forwarding needs a serial engine and a real port: a guest's UART.)
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "support/temp_folder.h"

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

  // 串口9 is a name ports.ini does not map: it comes back whole.
  run = RunBridge("--port \xE4\xB8\xB2\xE5\x8F\xA3" "9 --target 127.0.0.1:9", L"C");
  EXPECT_EQ(run.status, 1u);
  EXPECT_NE(run.output.find("no device for port \xE4\xB8\xB2\xE5\x8F\xA3" "9"), std::string::npos) << run.output;

  run = RunBridge("--port \xE4\xB8\xB2\xE5\x8F\xA3" "9 --target 127.0.0.1:9", L"zh_CN.UTF-8");
  EXPECT_EQ(run.status, 1u);
  // 串口打开错误 and 端口 串口9 没有对应的设备, in UTF-8.
  EXPECT_NE(run.output.find("\xE4\xB8\xB2\xE5\x8F\xA3\xE6\x89\x93\xE5\xBC\x80\xE9\x94\x99\xE8\xAF\xAF"),
            std::string::npos)
      << run.output;
}

// ports.ini in a configuration folder whose name has Chinese characters:
// an entry must name a Windows device.
TEST(Win32HeadlessBridge, ReadsPortsIniFromAChineseFolder) {
  TempFolder base("bridge");
  ASSERT_FALSE(base.path.empty());
  const std::wstring folder = WideFromGbk(base.path) + L"\\\u914D\u7F6E";  // 配置
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(base.WriteFile("\xC5\xE4\xD6\xC3/ports.ini", "[Ports]\r\nGPS=/dev/ttyS0\r\n"));
  const std::string config = Utf8FromWide(folder);
  const BridgeRun run = RunBridge("--config-dir \"" + config + "\" --port gps --target 127.0.0.1:9", L"C");
  EXPECT_EQ(run.status, 1u);
  EXPECT_NE(run.output.find("it must be COMn or a device name starting with \\\\.\\"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(config), std::string::npos) << "the file is named: " << run.output;
}
