#include "bridge/udp_port.h"

#include <cerrno>
#include <thread>

#include "platform/text.h"

std::string DescribeSendError(int code, Wording wording) {
  if (code == 0) return std::string();
  return DescribeCause(SysError{SysStep::kSend, code}, CauseSubject(), wording);
}

CUdpSocket::CUdpSocket() : m_hSocket(kInvalidSocket) {}

CUdpSocket::~CUdpSocket() { Close(); }

int CUdpSocket::Create(int socketType) {
  m_sendPath = UdpSendPath();  // a new socket may take another route
  m_lastError = OpenUdpSocket(socketType, &m_hSocket);
  m_nLastSendError = 0;
  return m_lastError.Failed() ? 0 : 1;
}

int CUdpSocket::Bind(std::uint16_t port, const char* bindAddress) {
  if (m_hSocket == kInvalidSocket) return 0;
  Ipv4Endpoint local{0, port};  // address 0: all local interfaces
  if (bindAddress != nullptr && *bindAddress != '\0' && !ParseIpv4Address(bindAddress, &local.address)) {
    m_lastError = SysError{SysStep::kBind, EINVAL};
    return 0;
  }
  m_lastError = BindUdpSocket(m_hSocket, local);
  return m_lastError.Failed() ? 0 : 1;
}

int CUdpSocket::PrepareSend(const char* targetAddress, std::uint16_t targetPort) {
  if (m_hSocket == kInvalidSocket) return EBADF;
  // Dotted text only: the broadcast address 255.255.255.255 is a valid target
  // and must not read as an error value.
  if (!ParseIpv4Address(targetAddress, &m_target.address)) return EDESTADDRREQ;
  m_target.port = targetPort;
  return 0;
}

int CUdpSocket::SendTo(const void* data, int length, const char* targetAddress, std::uint16_t targetPort) {
  if (m_hSocket != kInvalidSocket && (length < 0 || (data == nullptr && length > 0))) return Failed(EINVAL);
  if (const int refused = PrepareSend(targetAddress, targetPort)) return Failed(refused);
  const SysError error = SendUdpDatagram(m_hSocket, m_target, data, static_cast<std::size_t>(length));
  if (error.Failed()) return Failed(error.code);
  m_nLastSendError = 0;
  return length;
}

int CUdpSocket::SendFrames(const void* data, int frameSize, int count, const char* targetAddress,
                           std::uint16_t targetPort) {
  if (m_hSocket != kInvalidSocket && (data == nullptr || frameSize <= 0 || frameSize > UDP_PAYLOAD_MAX || count < 0)) {
    return Failed(EINVAL);
  }
  if (const int refused = PrepareSend(targetAddress, targetPort)) return Failed(refused);
  SysError error;
  const int sent = SendUdpDatagrams(m_hSocket, m_target, static_cast<const std::uint8_t*>(data),
                                    static_cast<std::size_t>(frameSize), count, &m_sendPath, &error);
  m_nLastSendError = sent == count ? 0 : error.code;
  return sent;
}

int CUdpSocket::Failed(int code) {
  m_nLastSendError = code;
  return -1;
}

void CUdpSocket::Close() {
  if (m_hSocket != kInvalidSocket) {
    CloseUdpSocket(m_hSocket);
    m_hSocket = kInvalidSocket;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

CUdpPort::CUdpPort() : m_nLocalPort(0) { StartSocketLibrary(); }

CUdpPort::~CUdpPort() {
  m_socket.Close();
  EndSocketLibrary();
}

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
  return m_socket.IsOpen() ? UdpSocketLocalPort(m_socket.GetHandle()) : 0;
}

SysError CUdpPort::GetBindError() const {
  // A socket that could not be made is worded as the bind it prevented.
  const SysError error = m_socket.GetCreateBindError();
  return error.Failed() ? SysError{SysStep::kBind, error.code} : error;
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
