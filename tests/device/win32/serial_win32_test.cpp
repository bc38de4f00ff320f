// The Win32 serial engine where no port is needed: names, the line settings
// as the driver gets them, the error numbers, and every way an open fails
// before a port answers. Runs under Wine on the build machine; the engine on
// a real UART is tested in the device guest (scripts/test-windows-devices).
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "serial_open_win32.h"
#include "serial_port_impl.h"

TEST(ComPortNames, MessagesNameThePortWithoutTheDevicePrefix) {
  EXPECT_EQ(ComPortName("\\\\.\\com12"), "COM12");
  EXPECT_EQ(ComPortName("\\\\.\\COM3"), "COM3");
  EXPECT_EQ(ComPortName("\\\\.\\串口1"), "串口1") << "double-byte characters stay as they are";
}

TEST(ComLineSettings, DriverGetsTheLineAskedWithNothingThePortHeldBefore) {
  struct Case {
    SerialLineSettings settings;
    const char* definition;
    BYTE parity;
    BYTE stopBits;
  };
  const Case cases[] = {
      {{9600, 'N', 8, 1}, "baud=9600 parity=N data=8 stop=1", NOPARITY, ONESTOPBIT},
      {{115200, 'O', 7, 2}, "baud=115200 parity=O data=7 stop=2", ODDPARITY, TWOSTOPBITS},
      {{56000, 'E', 8, 1}, "baud=56000 parity=E data=8 stop=1", EVENPARITY, ONESTOPBIT},
      {{38400, 'M', 6, 1}, "baud=38400 parity=M data=6 stop=1", MARKPARITY, ONESTOPBIT},
      {{19200, 'S', 5, 1}, "baud=19200 parity=S data=5 stop=1", SPACEPARITY, ONESTOPBIT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.definition);
    EXPECT_EQ(ComLineDefinition(c.settings), c.definition);
    // What another program may have left: both kinds of flow control, lines
    // raised by the driver, bytes dropped or replaced, aborts on errors.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = dcb.fOutX = dcb.fInX = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fNull = dcb.fErrorChar = dcb.fAbortOnError = 1;
    ASSERT_TRUE(BuildCommDCBA(ComLineDefinition(c.settings).c_str(), &dcb));
    ApplyComRules(&dcb);
    EXPECT_EQ(dcb.BaudRate, c.settings.nBaud);
    EXPECT_EQ(dcb.ByteSize, c.settings.nDataBits);
    EXPECT_EQ(dcb.Parity, c.parity);
    EXPECT_EQ(dcb.StopBits, c.stopBits);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fDsrSensitivity | dcb.fOutX | dcb.fInX, 0);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fNull | dcb.fErrorChar | dcb.fAbortOnError, 0);
  }
}

TEST(ComErrors, APortThatRefusesToOpenIsInUse) {
  EXPECT_EQ(ComErrno(SysStep::kOpen, ERROR_ACCESS_DENIED), EBUSY);
  EXPECT_EQ(ComErrno(SysStep::kOpen, ERROR_FILE_NOT_FOUND), ENOENT);
  EXPECT_EQ(ComErrno(SysStep::kSettings, ERROR_INVALID_PARAMETER), EINVAL);
  EXPECT_EQ(ComErrno(SysStep::kSettings, ERROR_INVALID_FUNCTION), ENOTTY);
}

TEST(SerialPortWin32, FailedOpenSaysWhyAndLeavesTheEngineClosed) {
  CSerialPort port;
  EXPECT_FALSE(port.Open("com250", "9600", "无", "8", "1", EV_RXCHAR));
  SerialOpenError error = port.GetOpenError();
  EXPECT_EQ(error.step, SerialOpenStep::kOpen);
  EXPECT_EQ(error.code, ENOENT);
  EXPECT_EQ(error.path, "COM250");
  EXPECT_NE(DescribeSerialOpenError(error, Wording::kEnglish).find("COM250 does not exist"), std::string::npos);

  EXPECT_FALSE(port.Open("COM1", "fast", "无", "8", "1", EV_RXCHAR));
  EXPECT_EQ(port.GetOpenError().step, SerialOpenStep::kSettingsText);

  // "\\.\" reaches files too: one is never configured as a port.
  wchar_t folder[MAX_PATH] = {};
  wchar_t file[MAX_PATH] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"qsp", 0, file), 0u);
  std::string name = "\\\\.\\";
  for (const wchar_t* c = file; *c != 0; ++c) name += static_cast<char>(*c);  // an ASCII temp path
  EXPECT_FALSE(port.Open(name, "9600", "无", "8", "1", EV_RXCHAR));
  DeleteFileW(file);
  EXPECT_EQ(port.GetOpenError().code, ENOTTY);

  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Write("x", 1), MakeSysError(SysStep::kWrite, EBADF));
  EXPECT_FALSE(port.SetRTS(1));
  int cts = 7;
  EXPECT_FALSE(port.GetCTS(&cts));
  EXPECT_EQ(cts, 7);
  SerialErrorCounts counts;
  EXPECT_FALSE(port.GetErrorCounts(&counts));
  port.Close();  // nothing to do
}
