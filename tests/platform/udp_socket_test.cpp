#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <cstdint>

// Dotted text exactly as inet_pton takes it, on every system.
TEST(Ipv4Address, ReadsDottedDecimalOnly) {
  std::uint32_t address = 7;
  ASSERT_TRUE(ParseIpv4Address("127.0.0.1", &address));
  EXPECT_EQ(address, 0x7F000001u);
  ASSERT_TRUE(ParseIpv4Address("255.255.255.255", &address)) << "the broadcast address is a target";
  EXPECT_EQ(address, 0xFFFFFFFFu);
  ASSERT_TRUE(ParseIpv4Address("0.0.0.0", &address));
  EXPECT_EQ(address, 0u);
  address = 7;
  for (const char* text : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "01.2.3.4", "1.2.3.04", "1..2.3", "1.2.3.4 ",
                           " 1.2.3.4", "1.2.3.-4", "0x7f.0.0.1", "localhost", "1.2.3.4/8"}) {
    EXPECT_FALSE(ParseIpv4Address(text, &address)) << '"' << text << '"';
  }
  EXPECT_FALSE(ParseIpv4Address(nullptr, &address));
  EXPECT_EQ(address, 7u) << "a refused text leaves the output alone";
}
