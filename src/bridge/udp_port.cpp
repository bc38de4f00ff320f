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

// Dotted IPv4 text in network byte order. inet_pton, not inet_addr: the
// broadcast address 255.255.255.255 is a valid target and must not read as
// inet_addr's error value.
bool ParseAddress(const char* text, in_addr_t* address) {
  in_addr parsed {};
  if (text == nullptr || inet_pton(AF_INET, text, &parsed) != 1) return false;
  *address = parsed.s_addr;
  return true;
}

}  // namespace

std::string DescribeSendError(int code, Wording wording) {
  if (code == 0) return std::string();
  return DescribeCause(SysError{SysStep::kSend, code}, CauseSubject(), wording);
}

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
  m_nLastSendError = 0;
  if (m_hSocket == kInvalidSocket) return 0;
  // A subnet's broadcast address is a common target (one receiver shared by
  // every PC of a lab); without this flag the kernel refuses it with EACCES.
  const int on = 1;
  setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  return 1;
}

int CUdpSocket::Bind(std::uint16_t port, const char* bindAddress) {
  if (m_hSocket == kInvalidSocket) return 0;
  sockaddr_in local {};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (bindAddress == nullptr || *bindAddress == '\0') {
    local.sin_addr.s_addr = htonl(INADDR_ANY);
  } else {
    if (!ParseAddress(bindAddress, &local.sin_addr.s_addr)) {
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
  if (m_hSocket == kInvalidSocket) return Failed(EBADF);
  if (length < 0 || (data == nullptr && length > 0)) return Failed(EINVAL);
  in_addr_t address;
  if (!ParseAddress(targetAddress, &address)) return Failed(EDESTADDRREQ);
  m_target.sin_addr.s_addr = address;
  m_target.sin_port = htons(targetPort);
  for (;;) {
    ssize_t sent = sendto(m_hSocket, data, static_cast<size_t>(length), 0,
                          reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target);
    if (sent >= 0) {
      m_nLastSendError = 0;
      return static_cast<int>(sent);
    }
    if (errno != EINTR) return Failed(errno);
  }
}

int CUdpSocket::SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                           std::uint16_t targetPort) {
  if (m_hSocket == kInvalidSocket) return Failed(EBADF);
  if (data == nullptr || frameSize <= 0 || frameSize > UDP_PAYLOAD_MAX || count < 0) return Failed(EINVAL);
  in_addr_t address;
  if (!ParseAddress(targetAddress, &address)) return Failed(EDESTADDRREQ);
  m_target.sin_addr.s_addr = address;
  m_target.sin_port = htons(targetPort);
  if (count == 1) {
    ssize_t result;
    do {
      result = sendto(m_hSocket, data, static_cast<size_t>(frameSize), 0,
                      reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target);
    } while (result < 0 && errno == EINTR);
    m_nLastSendError = result == frameSize ? 0 : (result < 0 ? errno : EMSGSIZE);
    return result == frameSize ? 1 : 0;
  }
  int lastError = 0;

  const auto* bytes = static_cast<const std::uint8_t*>(data);
  // One segmented send may carry at most kMaxBatch datagrams and one IP
  // packet's worth of payload.
  const int perSend = std::min(kMaxBatch, UDP_PAYLOAD_MAX / frameSize);
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
    if (result >= 0) {
      sent += n;
    } else {
      lastError = errno;  // all or nothing: another failure (ENOBUFS, EPERM) loses these n
    }
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
        lastError = result < 0 ? errno : EIO;
        ++first;  // this datagram failed; the ones after it still go
      }
    }
    done += n;
  }
  m_nLastSendError = sent == count ? 0 : lastError;
  return sent;
}

int CUdpSocket::Failed(int code) {
  m_nLastSendError = code;
  return -1;
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

std::uint16_t CUdpPort::GetBoundPort() const {
  sockaddr_in local {};
  socklen_t length = sizeof local;
  if (m_socket.m_hSocket == CUdpSocket::kInvalidSocket ||
      getsockname(m_socket.m_hSocket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

SysError CUdpPort::GetBindError() const {
  return m_socket.m_nLastError == 0 ? SysError() : SysError{SysStep::kBind, m_socket.m_nLastError};
}

std::string CUdpPort::DescribeBindError(Wording wording) const {
  return DescribeCause(GetBindError(), CauseSubject{std::to_string(m_nLocalPort), m_strBindAddress}, wording);
}

std::string CUdpPort::GetBindErrorCause() const {
  const std::string cause = DescribeBindError(Wording::kChinese);
  return cause.empty() ? cause : "原因：" + cause;
}

int CUdpPort::SendTo(const void* data, int length, const char* targetAddress,
                     std::uint16_t targetPort) {
  return m_socket.SendTo(data, length, targetAddress, targetPort);
}

int CUdpPort::SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                         std::uint16_t targetPort) {
  return m_socket.SendFrames(data, frameSize, count, targetAddress, targetPort);
}
