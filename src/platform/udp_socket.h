// IPv4 UDP sockets on the system's socket interface: open, bind, send,
// close, with every failure translated once, here, into the platform's error
// vocabulary (sys_error.h). Nothing is ever read from these sockets. No
// system type appears here: a socket is the system's handle held in an
// integer (a descriptor on POSIX, a SOCKET on Windows), an address is four
// bytes in host order (127.0.0.1 is 0x7F000001).
//
// Threads: any thread; one socket is used by one thread at a time (the
// bridge's document holds its network lock around every call). Sends may
// block briefly while the socket's send buffer is full; nothing else blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sys_error.h"

using SocketHandle = std::intptr_t;
constexpr SocketHandle INVALID_SOCKET_HANDLE = -1;
// SOCK_DGRAM, the same number on every system this is built for.
constexpr int SOCKET_TYPE_DATAGRAM = 2;
// The most one IPv4 UDP datagram carries: 65535 bytes less the IP and UDP
// headers (20 and 8 bytes).
constexpr int UDP_PAYLOAD_MAX = 65507;
// The most datagrams SendUdpDatagrams hands the system in one call: the
// segment limit of UDP_SEGMENT on every Linux kernel that has it.
constexpr int UDP_BATCH_MAX = 64;

struct Ipv4Endpoint {
  std::uint32_t address = 0;  // host order
  std::uint16_t port = 0;
};

// Dotted decimal IPv4 text as inet_pton reads it: four numbers of 0 to 255,
// digits only and no leading zero, 255.255.255.255 included. False for
// anything else (null included), *address untouched.
bool ParseIpv4Address(const char* text, std::uint32_t* address);

// The process's use of the sockets library: WSAStartup asking for version
// 2.2 and WSACleanup on Windows, in pairs; nothing on POSIX.
void StartSocketLibrary();
void EndSocketLibrary();

// A new socket of socketType (SOCKET_TYPE_DATAGRAM) for UDP over IPv4,
// allowed to send to broadcast addresses and not inherited by programs the
// process starts. Failure: step kCreate.
SysError OpenUdpSocket(int socketType, SocketHandle* socket);
// Binds to local (address 0: every interface). On Windows the port is taken
// exclusively, as POSIX does without SO_REUSEADDR. Failure: step kBind.
SysError BindUdpSocket(SocketHandle socket, const Ipv4Endpoint& local);
// The local port the socket is bound to; 0 when it is not (or unknown).
std::uint16_t UdpSocketLocalPort(SocketHandle socket);
void CloseUdpSocket(SocketHandle socket);

// What sending has learnt about one socket, kept by its owner from one send
// to the next and reset for a new socket. On Linux: that the kernel refused
// UDP segmentation here (EINVAL, EIO, ENOPROTOOPT, or EMSGSIZE for a path
// MTU below one frame), so that it is never asked again.
struct UdpSendPath {
  bool segmentationRefused = false;
};

// length bytes as one datagram to target. Failure: step kSend, EMSGSIZE
// when the system took less than the whole datagram.
SysError SendUdpDatagram(SocketHandle socket, const Ipv4Endpoint& target, const void* data, std::size_t length);

// count datagrams of exactly frameSize bytes each (1 to UDP_PAYLOAD_MAX),
// cut one after the other from data, in order, to target: on Linux one
// sendmsg with UDP_SEGMENT per UDP_BATCH_MAX datagrams while the kernel
// segments, else sendmmsg; on Windows one sendto each. Returns how many
// datagrams the system took; *error holds the failure of one it did not
// (success when all left). A datagram that fails does not stop the ones
// after it, except that a segmented send is all or nothing. Allocates
// nothing.
int SendUdpDatagrams(SocketHandle socket, const Ipv4Endpoint& target, const std::uint8_t* data, std::size_t frameSize,
                     int count, UdpSendPath* path, SysError* error);
