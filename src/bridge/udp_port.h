// The bridge's UDP sender: one IPv4 datagram socket that is bound to a local
// port and sends whole buffers to a target given as dotted text and a port.
// Nothing is ever read from the socket.
//
// Threads: Create and Bind run on the UI thread, SendTo and SendFrames on the
// serial reader thread. The sender has no lock of its own: the document holds its network
// lock over Create + Bind and over every SendTo, so a send never meets a
// descriptor that is being closed and reused.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "platform/sys_error.h"

// Owns the socket descriptor and the destination address of the last send.
class CUdpSocket {
 public:
  static constexpr int kInvalidSocket = -1;
  // The most datagrams one SendFrames call hands the kernel at once: the
  // segment limit of UDP_SEGMENT on every kernel that has it.
  static constexpr int kMaxBatch = 64;

  CUdpSocket();
  ~CUdpSocket();
  CUdpSocket(const CUdpSocket&) = delete;
  CUdpSocket& operator=(const CUdpSocket&) = delete;

  // Opens a new IPv4 socket of the given type (SOCK_DGRAM) for UDP, allowed to
  // send to broadcast addresses. 1 when the descriptor is valid. Does not
  // close a socket already held: CUdpPort does.
  int Create(int socketType);

  // Binds to port on bindAddress (dotted text) or, when null or empty, on all
  // local interfaces. 1 on success.
  int Bind(std::uint16_t port, const char* bindAddress = nullptr);

  // Sends length bytes of data as one datagram to targetAddress:targetPort.
  // The address text (dotted IPv4, 255.255.255.255 included) is converted on
  // every call. Returns the number of bytes sent, or -1 (no socket, unusable
  // address text, or the send failed) with the cause in m_nLastSendError.
  // May block briefly while the socket's send buffer is full.
  int SendTo(const void* data, int length, const char* targetAddress, std::uint16_t targetPort);

  // Sends count datagrams of exactly frameSize bytes each, cut one after the
  // other from data, in order, to targetAddress:targetPort. One datagram goes
  // out with one sendto; more go out with one sendmsg and UDP_SEGMENT per
  // kMaxBatch (the kernel cuts the datagrams), or with sendmmsg once the
  // kernel has refused segmentation on this socket (EINVAL, EIO,
  // ENOPROTOOPT, or EMSGSIZE for a path MTU below one frame: remembered
  // until the next Create). Returns how many
  // datagrams the kernel took, or -1 (no socket, unusable address text, bad
  // sizes); whenever fewer than count left, m_nLastSendError holds the
  // system's error number of a failed one. Does not allocate; may block as
  // SendTo does.
  int SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                 std::uint16_t targetPort);

  // Closes the socket if one is held, then waits 10 ms in every case (the
  // pause lets the system release the port before a new bind).
  void Close();

  int m_hSocket;
  sockaddr_in m_target;
  // Whether the kernel refused UDP_SEGMENT on this socket; cleared by
  // Create. A test may set it to take the sendmmsg path.
  bool m_bSegmentRefused = false;
  // The system's error number of the last Create or Bind that failed (EINVAL
  // for an unreadable bind address), 0 after one that worked.
  int m_nLastError = 0;
  // The system's error number of the last send that lost a datagram (EBADF
  // without a socket, EDESTADDRREQ for unusable address text), 0 after one
  // that sent everything. Written by the sending thread.
  int m_nLastSendError = 0;

 private:
  int Failed(int code);
};

// Why sends fail, in a few words: Chinese (GBK) for the window, English for
// the terminal. code is a system error number from m_nLastSendError; 0 gives
// an empty text. Any thread.
std::string DescribeSendError(int code, Wording wording = Wording::kChinese);

// The document's sender: the socket plus the settings of the last Create and
// Bind. One instance lives inside the document for the whole process.
class CUdpPort {
 public:
  CUdpPort();
  ~CUdpPort();
  CUdpPort(const CUdpPort&) = delete;
  CUdpPort& operator=(const CUdpPort&) = delete;

  // Remembers bindAddress, closes the current socket (10 ms pause) and opens a
  // fresh one. 1 when a socket was created.
  int Create(int socketType, const char* bindAddress = nullptr);

  // Remembers port and binds the socket as CUdpSocket::Bind does. 1 on success.
  int Bind(std::uint16_t port, const char* bindAddress = nullptr);

  // Why the last Create or Bind failed, as one line (GBK) for below the bind
  // error message: the port in use, a port below 1024 without the right to
  // it, or the system's own text. Empty when nothing failed.
  std::string GetBindErrorCause() const;
  // The same failure as a result, and its words without the heading.
  SysError GetBindError() const;
  std::string DescribeBindError(Wording wording) const;

  // Closes the socket (10 ms pause); the local port is free on return.
  void Close();
  bool IsOpen() const { return m_socket.m_hSocket != CUdpSocket::kInvalidSocket; }

  // The local port the socket is bound to (the one the system chose after a
  // Bind to port 0); 0 without a bound socket.
  std::uint16_t GetBoundPort() const;

  // As CUdpSocket::SendTo.
  int SendTo(const void* data, int length, const char* targetAddress, std::uint16_t targetPort);
  // As CUdpSocket::SendFrames.
  int SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                 std::uint16_t targetPort);
  // The socket's m_nLastSendError: why the last send lost a datagram.
  int GetLastSendError() const { return m_socket.m_nLastSendError; }

  std::string m_strBindAddress;
  std::uint16_t m_nLocalPort;
  CUdpSocket m_socket;
};
