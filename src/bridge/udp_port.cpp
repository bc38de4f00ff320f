#include "bridge/udp_port.h"

#include <arpa/inet.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "bridge/udp_segment.h"
#include "platform/text.h"

namespace {

// inet_addr's reading of dotted text; INADDR_NONE for text it cannot read.
in_addr_t ParseAddress(const char* text) {
  if (text == nullptr || *text == '\0') return INADDR_NONE;
  return inet_addr(text);
}

}  // namespace

CUdpSocket::CUdpSocket() : m_hSocket(kInvalidSocket) {
  std::memset(&m_target, 0, sizeof m_target);
  m_target.sin_family = AF_INET;
}

CUdpSocket::~CUdpSocket() { Close(); }

int CUdpSocket::Create(int socketType) {
  m_bSegmentRefused = false;  // a new socket may take another route
  // Close-on-exec: the descriptor must not leak into programs we might start.
  m_hSocket = socket(AF_INET, socketType | SOCK_CLOEXEC, IPPROTO_UDP);
  m_nLastError = m_hSocket != kInvalidSocket ? 0 : errno;
  return m_hSocket != kInvalidSocket ? 1 : 0;
}

int CUdpSocket::Bind(std::uint16_t port, const char* bindAddress) {
  if (m_hSocket == kInvalidSocket) return 0;
  sockaddr_in local {};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (bindAddress == nullptr || *bindAddress == '\0') {
    local.sin_addr.s_addr = htonl(INADDR_ANY);
  } else {
    // Unreadable text would read as 255.255.255.255, which Linux lets a
    // socket bind to; no interface has that address, so refuse it here.
    local.sin_addr.s_addr = ParseAddress(bindAddress);
    if (local.sin_addr.s_addr == INADDR_NONE) {
      m_nLastError = EINVAL;
      return 0;
    }
  }
  const bool bound = bind(m_hSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
  m_nLastError = bound ? 0 : errno;
  return bound ? 1 : 0;
}

int CUdpSocket::SendTo(const void* data, int length, const char* targetAddress,
                       std::uint16_t targetPort) {
  if (m_hSocket == kInvalidSocket || length < 0 || (data == nullptr && length > 0)) return -1;
  in_addr_t address = ParseAddress(targetAddress);
  // Unreadable text reads as 255.255.255.255; never aim a datagram at the
  // broadcast address by accident, report the failure instead.
  if (address == INADDR_NONE) return -1;
  m_target.sin_addr.s_addr = address;
  m_target.sin_port = htons(targetPort);
  for (;;) {
    ssize_t sent = sendto(m_hSocket, data, static_cast<size_t>(length), 0,
                          reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno != EINTR) return -1;
  }
}

int CUdpSocket::SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                           std::uint16_t targetPort) {
  if (m_hSocket == kInvalidSocket || data == nullptr || frameSize <= 0 || frameSize > 65507 || count < 0) {
    return -1;
  }
  in_addr_t address = ParseAddress(targetAddress);
  if (address == INADDR_NONE) return -1;  // as SendTo: never the broadcast address
  m_target.sin_addr.s_addr = address;
  m_target.sin_port = htons(targetPort);
  if (count == 1) {
    ssize_t result;
    do {
      result = sendto(m_hSocket, data, static_cast<size_t>(frameSize), 0,
                      reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target);
    } while (result < 0 && errno == EINTR);
    return result == frameSize ? 1 : 0;
  }

  const auto* bytes = static_cast<const std::uint8_t*>(data);
  // One segmented send may carry at most kMaxBatch datagrams and one IP
  // packet's worth of payload.
  const int perSend = std::min(kMaxBatch, 65507 / frameSize);
  int sent = 0;
  int done = 0;
  while (done < count && !m_bSegmentRefused) {
    const int n = std::min(perSend, count - done);
    CSegmentedSend send(&m_target, bytes + static_cast<std::size_t>(done) * frameSize,
                        static_cast<std::size_t>(n) * static_cast<std::size_t>(frameSize),
                        static_cast<std::uint16_t>(frameSize));
    ssize_t result;
    do {
      result = sendmsg(m_hSocket, &send.message, 0);
    } while (result < 0 && errno == EINTR);
    if (result < 0 && (errno == EINVAL || errno == EIO || errno == ENOPROTOOPT || errno == EMSGSIZE)) {
      // No segmentation here (an old kernel, a route or device without
      // checksum offload, a socket without checksums, a path MTU below one
      // frame, where single datagrams would still go out as fragments):
      // never ask again.
      m_bSegmentRefused = true;
      break;
    }
    if (result >= 0) sent += n;  // all or nothing: another failure (ENOBUFS, EPERM) loses these n
    done += n;
  }
  // The rest one datagram per message, in as few calls as the kernel allows.
  mmsghdr messages[kMaxBatch];
  iovec vectors[kMaxBatch];
  while (done < count) {
    const int n = std::min(kMaxBatch, count - done);
    for (int i = 0; i < n; ++i) {
      vectors[i] = {const_cast<std::uint8_t*>(bytes + static_cast<std::size_t>(done + i) * frameSize),
                    static_cast<std::size_t>(frameSize)};
      messages[i] = {};
      messages[i].msg_hdr.msg_name = &m_target;
      messages[i].msg_hdr.msg_namelen = sizeof m_target;
      messages[i].msg_hdr.msg_iov = &vectors[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int first = 0;
    while (first < n) {
      const int result = sendmmsg(m_hSocket, messages + first, static_cast<unsigned>(n - first), 0);
      if (result > 0) {
        sent += result;
        first += result;
      } else if (result < 0 && errno == EINTR) {
        continue;
      } else {
        ++first;  // this datagram failed; the ones after it still go
      }
    }
    done += n;
  }
  return sent;
}

void CUdpSocket::Close() {
  if (m_hSocket != kInvalidSocket) {
    close(m_hSocket);
    m_hSocket = kInvalidSocket;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

CUdpPort::CUdpPort() : m_nLocalPort(0) {}

// The socket's own destructor closes it; there is no sockets library to end.
CUdpPort::~CUdpPort() = default;

int CUdpPort::Create(int socketType, const char* bindAddress) {
  m_strBindAddress = bindAddress != nullptr ? bindAddress : "";
  m_socket.Close();
  return m_socket.Create(socketType);
}

int CUdpPort::Bind(std::uint16_t port, const char* bindAddress) {
  m_nLocalPort = port;
  return m_socket.Bind(port, bindAddress);
}

void CUdpPort::Close() { m_socket.Close(); }

std::string CUdpPort::GetBindErrorCause() const {
  switch (m_socket.m_nLastError) {
    case 0:
      return std::string();
    case EADDRINUSE:
      return StrFormat("原因：本地端口 %u 已被其他程序占用", static_cast<unsigned>(m_nLocalPort));
    case EACCES:
    case EPERM:
      return StrFormat("原因：没有绑定本地端口 %u 的权限（1024 以下的端口只有特权程序可用）",
                       static_cast<unsigned>(m_nLocalPort));
    case EADDRNOTAVAIL:
      return StrFormat("原因：本机没有地址 %s", m_strBindAddress.c_str());
    default:
      return StrFormat("原因：%s", std::strerror(m_socket.m_nLastError));
  }
}

int CUdpPort::SendTo(const void* data, int length, const char* targetAddress,
                     std::uint16_t targetPort) {
  return m_socket.SendTo(data, length, targetAddress, targetPort);
}

int CUdpPort::SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                         std::uint16_t targetPort) {
  return m_socket.SendFrames(data, frameSize, count, targetAddress, targetPort);
}
