// Windows Sockets 2. Windows has no call that sends several datagrams at
// once (WSASendMsg carries one), so a batch is one sendto per frame.
#include "platform/udp_socket.h"

#include <winsock2.h>
#include <windows.h>
#include <mswsock.h>

#include "platform/win32/win32_error.h"

namespace {

sockaddr_in SocketAddress(const Ipv4Endpoint& endpoint) {
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

SOCKET Socket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

SysError LastSocketError(SysStep step) { return Win32SysError(step, static_cast<unsigned long>(WSAGetLastError())); }

}  // namespace

void StartSocketLibrary() {
  WSADATA data;
  // A failure shows as the failure of the first socket.
  WSAStartup(MAKEWORD(2, 2), &data);
}

void EndSocketLibrary() { WSACleanup(); }

SysError OpenUdpSocket(int socketType, SocketHandle* socket) {
  *socket = INVALID_SOCKET_HANDLE;
  // Not inherited: the handle must not leak into programs we might start.
  SOCKET s = WSASocketW(AF_INET, socketType, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
    // Windows 7 before its first service pack has no such flag.
    s = WSASocketW(AF_INET, socketType, IPPROTO_UDP, nullptr, 0, 0);
    if (s != INVALID_SOCKET) SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  }
  if (s == INVALID_SOCKET) return LastSocketError(SysStep::kCreate);
  // A subnet's broadcast address is a common target; without this flag the
  // system refuses it.
  const BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
  // Nothing is read: a port-unreachable answer to an earlier datagram must
  // not come back as an error of a later call.
  BOOL off = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
  *socket = static_cast<SocketHandle>(s);
  return SysError();
}

SysError BindUdpSocket(SocketHandle socket, const Ipv4Endpoint& local) {
  // Without it another program could bind the same port with SO_REUSEADDR
  // and take the traffic; with it the port is ours as on POSIX.
  const BOOL on = TRUE;
  setsockopt(Socket(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  const sockaddr_in address = SocketAddress(local);
  if (bind(Socket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return LastSocketError(SysStep::kBind);
  }
  return SysError();
}

std::uint16_t UdpSocketLocalPort(SocketHandle socket) {
  sockaddr_in local {};
  int length = sizeof local;
  if (getsockname(Socket(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

void CloseUdpSocket(SocketHandle socket) { closesocket(Socket(socket)); }

SysError SendUdpDatagram(SocketHandle socket, const Ipv4Endpoint& target, const void* data, std::size_t length) {
  if (length > static_cast<std::size_t>(UDP_PAYLOAD_MAX)) return SysError{SysStep::kSend, EMSGSIZE};
  const sockaddr_in address = SocketAddress(target);
  const int sent = sendto(Socket(socket), static_cast<const char*>(data), static_cast<int>(length), 0,
                          reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent == SOCKET_ERROR) return LastSocketError(SysStep::kSend);
  return static_cast<std::size_t>(sent) == length ? SysError() : SysError{SysStep::kSend, EMSGSIZE};
}

int SendUdpDatagrams(SocketHandle socket, const Ipv4Endpoint& target, const std::uint8_t* data, std::size_t frameSize,
                     int count, UdpSendPath* path, SysError* error) {
  *error = SysError();
  int sent = 0;
  for (int i = 0; i < count; ++i) {
    const SysError failed = SendUdpDatagram(socket, target, data + static_cast<std::size_t>(i) * frameSize, frameSize);
    if (failed.Failed()) {
      *error = failed;  // this datagram failed; the ones after it still go
    } else {
      ++sent;
    }
  }
  return sent;
}
