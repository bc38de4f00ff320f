// Linux sockets. A batch of frames leaves by one of three paths: one sendmsg
// that the kernel cuts into datagrams (UDP_SEGMENT), sendmmsg with one
// message per datagram once the kernel refused that on the socket, or one
// sendto for a single frame.
#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/udp_segment.h"

namespace {

sockaddr_in SocketAddress(const Ipv4Endpoint& endpoint) {
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(endpoint.address);
  address.sin_port = htons(endpoint.port);
  return address;
}

int Descriptor(SocketHandle socket) { return static_cast<int>(socket); }

// The errors after which a segmented send never works on this socket: an
// old kernel, a route or device without checksum offload, a socket without
// checksums, a path MTU below one frame (where single datagrams would still
// go out as fragments).
bool RefusesSegmentation(int code) { return code == EINVAL || code == EIO || code == ENOPROTOOPT || code == EMSGSIZE; }

// Whole batches through UDP_SEGMENT from *done on, until all are sent or the
// kernel refuses segmentation (then *path remembers it). Returns how many
// datagrams left.
int SendSegmented(int fd, sockaddr_in* target, const std::uint8_t* data, std::size_t frameSize, int count, int* done,
                  UdpSendPath* path, int* lastError) {
  // One segmented send carries at most UDP_BATCH_MAX datagrams and one IP
  // packet's worth of payload.
  const int perSend = std::min<int>(UDP_BATCH_MAX, UDP_PAYLOAD_MAX / static_cast<int>(frameSize));
  int sent = 0;
  while (*done < count && !path->segmentationRefused) {
    const int n = std::min(perSend, count - *done);
    CSegmentedSend send(target, data + static_cast<std::size_t>(*done) * frameSize,
                        static_cast<std::size_t>(n) * frameSize, static_cast<std::uint16_t>(frameSize));
    ssize_t result;
    do {
      result = sendmsg(fd, &send.message, 0);
    } while (result < 0 && errno == EINTR);
    if (result < 0 && RefusesSegmentation(errno)) {
      path->segmentationRefused = true;
      break;
    }
    if (result >= 0) {
      sent += n;
    } else {
      *lastError = errno;  // all or nothing: another failure (ENOBUFS, EPERM) loses these n
    }
    *done += n;
  }
  return sent;
}

// The datagrams from done on, one message each, in as few sendmmsg calls as
// the kernel allows. Returns how many left.
int SendEach(int fd, sockaddr_in* target, const std::uint8_t* data, std::size_t frameSize, int count, int done,
             int* lastError) {
  mmsghdr messages[UDP_BATCH_MAX];
  iovec vectors[UDP_BATCH_MAX];
  int sent = 0;
  while (done < count) {
    const int n = std::min(UDP_BATCH_MAX, count - done);
    for (int i = 0; i < n; ++i) {
      vectors[i] = {const_cast<std::uint8_t*>(data + static_cast<std::size_t>(done + i) * frameSize), frameSize};
      messages[i] = {};
      messages[i].msg_hdr.msg_name = target;
      messages[i].msg_hdr.msg_namelen = sizeof *target;
      messages[i].msg_hdr.msg_iov = &vectors[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int first = 0;
    while (first < n) {
      const int result = sendmmsg(fd, messages + first, static_cast<unsigned>(n - first), 0);
      if (result > 0) {
        sent += result;
        first += result;
      } else if (result < 0 && errno == EINTR) {
        continue;
      } else {
        *lastError = result < 0 ? errno : EIO;
        ++first;  // this datagram failed; the ones after it still go
      }
    }
    done += n;
  }
  return sent;
}

}  // namespace

void StartSocketLibrary() {}

void EndSocketLibrary() {}

SysError OpenUdpSocket(int socketType, SocketHandle* socket) {
  // Close-on-exec: the descriptor must not leak into programs we might start.
  const int fd = ::socket(AF_INET, socketType | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) {
    *socket = INVALID_SOCKET_HANDLE;
    return LastSysError(SysStep::kCreate);
  }
  // A subnet's broadcast address is a common target (one receiver shared by
  // every PC of a lab); without this flag the kernel refuses it with EACCES.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  *socket = fd;
  return SysError();
}

SysError BindUdpSocket(SocketHandle socket, const Ipv4Endpoint& local) {
  const sockaddr_in address = SocketAddress(local);
  if (bind(Descriptor(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return LastSysError(SysStep::kBind);
  }
  return SysError();
}

std::uint16_t UdpSocketLocalPort(SocketHandle socket) {
  sockaddr_in local {};
  socklen_t length = sizeof local;
  if (getsockname(Descriptor(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

void CloseUdpSocket(SocketHandle socket) { close(Descriptor(socket)); }

SysError SendUdpDatagram(SocketHandle socket, const Ipv4Endpoint& target, const void* data, std::size_t length) {
  const sockaddr_in address = SocketAddress(target);
  for (;;) {
    const ssize_t sent = sendto(Descriptor(socket), data, length, 0, reinterpret_cast<const sockaddr*>(&address),
                                sizeof address);
    if (sent >= 0) {
      return static_cast<std::size_t>(sent) == length ? SysError() : SysError{SysStep::kSend, EMSGSIZE};
    }
    if (errno != EINTR) return LastSysError(SysStep::kSend);
  }
}

int SendUdpDatagrams(SocketHandle socket, const Ipv4Endpoint& target, const std::uint8_t* data, std::size_t frameSize,
                     int count, UdpSendPath* path, SysError* error) {
  *error = SysError();
  if (count <= 0) return 0;
  if (count == 1) {
    *error = SendUdpDatagram(socket, target, data, frameSize);
    return error->Failed() ? 0 : 1;
  }
  sockaddr_in address = SocketAddress(target);
  int lastError = 0;
  int done = 0;
  int sent = SendSegmented(Descriptor(socket), &address, data, frameSize, count, &done, path, &lastError);
  sent += SendEach(Descriptor(socket), &address, data, frameSize, count, done, &lastError);
  if (sent < count) *error = SysError{SysStep::kSend, lastError != 0 ? lastError : EIO};
  return sent;
}
