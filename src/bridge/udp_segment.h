// One sendmsg that the kernel cuts into datagrams of segmentSize bytes each
// (UDP generic segmentation offload, Linux 4.18 and later). The document's
// sender and the benchmark's bare relay build their sends with it, so that
// both measure the same system call.
//
// Any thread; building one allocates nothing and blocks on nothing.
#pragma once

#include <netinet/in.h>
#include <netinet/udp.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The most one IPv4 UDP datagram carries: 65535 bytes less the IP and UDP
// headers (20 and 8 bytes).
constexpr int UDP_PAYLOAD_MAX = 65507;

// Points into itself: neither copied nor moved.
struct CSegmentedSend {
  CSegmentedSend(sockaddr_in* target, const std::uint8_t* data, std::size_t length, std::uint16_t segmentSize) {
    vector.iov_base = const_cast<std::uint8_t*>(data);
    vector.iov_len = length;
    message.msg_name = target;
    message.msg_namelen = sizeof *target;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* segment = CMSG_FIRSTHDR(&message);
    segment->cmsg_level = SOL_UDP;
    segment->cmsg_type = UDP_SEGMENT;
    segment->cmsg_len = CMSG_LEN(sizeof segmentSize);
    std::memcpy(CMSG_DATA(segment), &segmentSize, sizeof segmentSize);
  }
  CSegmentedSend(const CSegmentedSend&) = delete;
  CSegmentedSend& operator=(const CSegmentedSend&) = delete;

  msghdr message {};
  iovec vector {};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint16_t))] = {};
};
