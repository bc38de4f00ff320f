// The bridge's UDP sender: one IPv4 datagram socket that is bound to a local
// port and sends whole buffers to a target given as dotted text and a port.
// Nothing is ever read from the socket. The system's calls are the platform
// layer's (platform/udp_socket.h); what fails comes back here as a SysError.
//
// Threads: Create and Bind run on the UI thread, SendTo and SendFrames on the
// serial reader thread. The sender has no lock of its own: the document holds its network
// lock over Create + Bind and over every SendTo, so a send never meets a
// socket that is being closed and reused.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sys_error.h"
#include "platform/udp_socket.h"

// Owns the socket and the destination address of the last send.
class CUdpSocket {
 public:
  static constexpr SocketHandle kInvalidSocket = INVALID_SOCKET_HANDLE;
  // The most datagrams one SendFrames call hands the system at once.
  static constexpr int kMaxBatch = UDP_BATCH_MAX;

  CUdpSocket();
  ~CUdpSocket();
  CUdpSocket(const CUdpSocket&) = delete;
  CUdpSocket& operator=(const CUdpSocket&) = delete;

  // Opens a new IPv4 socket of the given type (SOCKET_TYPE_DATAGRAM) for
  // UDP, allowed to send to broadcast addresses. 1 when the socket is valid.
  // Does not close a socket already held: CUdpPort does.
  int Create(int socketType);

  // Binds to port on bindAddress (dotted text) or, when null or empty, on all
  // local interfaces. 1 on success.
  int Bind(std::uint16_t port, const char* bindAddress = nullptr);

  // Sends length bytes of data as one datagram to targetAddress:targetPort.
  // The address text (dotted IPv4, 255.255.255.255 included) is converted on
  // every call. Returns the number of bytes sent, or -1 (no socket, unusable
  // address text, or the send failed) with the cause in GetLastSendError.
  // May block briefly while the socket's send buffer is full.
  int SendTo(const void* data, int length, const char* targetAddress, std::uint16_t targetPort);

  // Sends count datagrams of exactly frameSize bytes each, cut one after the
  // other from data, in order, to targetAddress:targetPort, in as few system
  // calls as the system allows (see SendUdpDatagrams). Returns how many
  // datagrams the system took, or -1 (no socket, unusable address text, bad
  // sizes); whenever fewer than count left, GetLastSendError holds the
  // error number of a failed one. Does not allocate; may block as SendTo does.
  int SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                 std::uint16_t targetPort);

  // Closes the socket if one is held, then waits 10 ms in every case (the
  // pause lets the system release the port before a new bind).
  void Close();

  bool IsOpen() const { return m_hSocket != kInvalidSocket; }
  // The system's handle, for the port it is bound to and for tests that set
  // socket options; kInvalidSocket without a socket.
  SocketHandle GetHandle() const { return m_hSocket; }
  // Why the last Create or Bind failed (EINVAL at kBind for an unreadable
  // bind address); success after one that worked.
  SysError GetCreateBindError() const { return m_lastError; }
  // The error number of the last send that lost a datagram (EBADF without a
  // socket, EDESTADDRREQ for unusable address text), 0 after one that sent
  // everything. Written by the sending thread.
  int GetLastSendError() const { return m_nLastSendError; }
  // Whether the system refused to segment batches on this socket (Linux),
  // so that they go one message per datagram; cleared by Create.
  bool IsSegmentationRefused() const { return m_sendPath.segmentationRefused; }

 private:
  // Checks the socket and the target, and sets m_target. 0, or the error
  // number that fails the send.
  int PrepareSend(const char* targetAddress, std::uint16_t targetPort);
  int Failed(int code);

  SocketHandle m_hSocket;
  Ipv4Endpoint m_target;
  UdpSendPath m_sendPath;
  SysError m_lastError;
  int m_nLastSendError = 0;
};

// Why sends fail, in a few words: Chinese (GBK) for the window, English for
// the terminal. code is an error number from GetLastSendError; 0 gives an
// empty text. Any thread.
std::string DescribeSendError(int code, Wording wording = Wording::kChinese);

// The document's sender: the socket plus the settings of the last Create and
// Bind. One instance lives inside the document for the whole process; it
// starts the process's use of the sockets library and ends it.
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
  bool IsOpen() const { return m_socket.IsOpen(); }

  // The local port the socket is bound to (the one the system chose after a
  // Bind to port 0); 0 without a bound socket.
  std::uint16_t GetBoundPort() const;
  // What the last Create and Bind were given.
  const std::string& GetBindAddress() const { return m_strBindAddress; }
  std::uint16_t GetLocalPort() const { return m_nLocalPort; }
  // The socket itself, to look at (its handle, its last send error).
  const CUdpSocket& GetSocket() const { return m_socket; }
  // Why the last send lost a datagram (CUdpSocket::GetLastSendError).
  int GetLastSendError() const { return m_socket.GetLastSendError(); }

  // As CUdpSocket::SendTo.
  int SendTo(const void* data, int length, const char* targetAddress, std::uint16_t targetPort);
  // As CUdpSocket::SendFrames.
  int SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                 std::uint16_t targetPort);

 private:
  std::string m_strBindAddress;
  std::uint16_t m_nLocalPort;
  CUdpSocket m_socket;
};
