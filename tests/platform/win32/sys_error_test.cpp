#include "platform/sys_error.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cerrno>

#include "platform/win32/win32_error.h"

// Windows' numbers become the errno values the one table words; a number
// no errno value matches keeps the system's own words.
TEST(Win32SysError, TranslatesOnceIntoTheOneVocabulary) {
  EXPECT_EQ(ErrnoFromWin32(0), 0);
  EXPECT_EQ(ErrnoFromWin32(ERROR_FILE_NOT_FOUND), ENOENT);
  EXPECT_EQ(ErrnoFromWin32(ERROR_ACCESS_DENIED), EACCES);
  EXPECT_EQ(ErrnoFromWin32(ERROR_SHARING_VIOLATION), EBUSY);
  EXPECT_EQ(ErrnoFromWin32(ERROR_INVALID_FUNCTION), ENOTTY);
  EXPECT_EQ(ErrnoFromWin32(WSAEADDRINUSE), EADDRINUSE);
  EXPECT_EQ(ErrnoFromWin32(WSAENETUNREACH), ENETUNREACH);
  EXPECT_EQ(DescribeCause(Win32SysError(SysStep::kOpen, ERROR_ACCESS_DENIED), {"COM3", ""}, Wording::kEnglish),
            "no permission to open COM3");
  EXPECT_EQ(DescribeCause(Win32SysError(SysStep::kOpen, ERROR_SHARING_VIOLATION), {"COM3", ""}, Wording::kChinese),
            "COM3 正被其他程序使用");
  EXPECT_EQ(DescribeCause(Win32SysError(SysStep::kBind, WSAEADDRINUSE), {"2000", ""}, Wording::kChinese),
            "本地端口 2000 已被其他程序占用");
  EXPECT_EQ(SystemErrorText(ENETUNREACH), "Network is unreachable");

  const int foreign = ErrnoFromWin32(ERROR_CRC);
  EXPECT_GE(foreign, SYS_ERROR_FOREIGN);
  EXPECT_FALSE(SystemErrorText(foreign).empty());
  SetLastError(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(LastSysError(SysStep::kPortsFile), (SysError{SysStep::kPortsFile, ENOENT}));
}
