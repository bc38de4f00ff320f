#include "platform/sys_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

// The same number means different things at different steps, and a cause the
// table does not know still names what failed and the system's own words.
TEST(SysError, OneTableWordsEachStepInBothLanguages) {
  const CauseSubject device{"/dev/ttyUSB0", ""};
  EXPECT_EQ(DescribeCause(SysError(), device, Wording::kEnglish), "");
  EXPECT_EQ(DescribeCause({SysStep::kOpen, EACCES}, device, Wording::kEnglish), "no permission to open /dev/ttyUSB0");
  EXPECT_EQ(DescribeCause({SysStep::kSend, EACCES}, device, Wording::kChinese), "发送被拒绝（防火墙规则或广播权限）");
  EXPECT_EQ(DescribeCause({SysStep::kBind, EADDRNOTAVAIL}, {"4000", "10.9.9.9"}, Wording::kChinese),
            "本机没有地址 10.9.9.9");
  EXPECT_EQ(DescribeCause({SysStep::kReader, EAGAIN}, device, Wording::kEnglish),
            std::string("cannot start the reader thread (") + std::strerror(EAGAIN) + ")");
  EXPECT_EQ(DescribeCause({SysStep::kWrite, EIO}, device, Wording::kChinese),
            std::string("/dev/ttyUSB0：") + std::strerror(EIO));
  EXPECT_EQ(DescribeCause({SysStep::kWrite, EIO}, CauseSubject(), Wording::kEnglish), std::strerror(EIO));
}
