#include "bridge/udp_port.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

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
