// devtool: the device test's helper, built static so that the same binary
// runs on the host and in the guest, and both make the same byte stream.
//
//   devtool feed SOCKET SEED COUNT     host: write the stream into a QEMU
//                                      chardev's unix socket
//   devtool recv PORT SEED COUNT FRAME [flags]
//                                      guest: take the bridge's datagrams on
//                                      127.0.0.1:PORT and compare them with
//                                      the stream
//   devtool monitor SOCKET COMMAND     host: one QEMU monitor command
//
// recv flags: short (the last datagram may be shorter: --flush-idle),
// gaps (bytes may be missing in whole runs: a stall or an unplug; what did
// arrive must still be exact), idle=SECONDS (give up that long after the last
// datagram, default 20). recv prints "recv ready" once bound, stops when
// COUNT bytes have arrived, at the idle limit or on SIGTERM (after taking
// what is queued), then prints one summary line and exits 0 when the bytes
// are exact.
//
// QEMU's UART hands the guest all 8 bits of what the host sends whatever the
// data bits, so the stream is compared as whole bytes.
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static uint8_t* Stream(uint32_t seed, size_t count) {
  uint8_t* bytes = malloc(count ? count : 1);
  uint32_t x = seed ? seed : 1;
  for (size_t i = 0; i < count; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = (uint8_t)(x >> 24);
  }
  return bytes;
}

static uint32_t Fnv(const uint8_t* p, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

static int ConnectUnix(const char* path) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  struct sockaddr_un addr = {.sun_family = AF_UNIX};
  snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path);
  for (int tries = 0; tries < 50; ++tries) {
    if (connect(fd, (struct sockaddr*)&addr, sizeof addr) == 0) return fd;
    usleep(100000);
  }
  fprintf(stderr, "devtool: cannot connect to %s: %s\n", path, strerror(errno));
  exit(2);
}

static int Feed(const char* path, uint32_t seed, size_t count) {
  uint8_t* bytes = Stream(seed, count);
  int fd = ConnectUnix(path);
  size_t done = 0;
  while (done < count) {
    ssize_t n = write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fprintf(stderr, "devtool: feed stopped after %zu bytes: %s\n", done, strerror(errno));
      return 1;
    }
    done += (size_t)n;
  }
  // Hold the connection until QEMU has taken everything: closing at once
  // could leave the last bytes unread when the socket is torn down.
  shutdown(fd, SHUT_WR);
  char sink[64];
  while (read(fd, sink, sizeof sink) > 0) {
  }
  close(fd);
  return 0;
}

static int Monitor(const char* path, const char* command) {
  int fd = ConnectUnix(path);
  char buf[4096];
  size_t have = 0;
  // Read up to each "(qemu) " prompt: the greeting's, then the command's.
  // The monitor echoes every key with the whole line again, so a long
  // command's echo outgrows the buffer: keep only its tail.
  for (int prompt = 0; prompt < 2;) {
    if (have > sizeof buf / 2) {
      memmove(buf, buf + have - 64, 64);
      have = 64;
    }
    // A monitor that does not answer within 30 s is a stuck emulator: the
    // host must not wait on it for ever (it reads the guest's console too).
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 30000) != 1) {
      printf("Error: the monitor did not answer \"%s\" within 30 s\n", command);
      break;
    }
    ssize_t n = read(fd, buf + have, sizeof buf - 1 - have);
    if (n <= 0) break;
    have += (size_t)n;
    buf[have] = 0;
    char* at = strstr(buf, "(qemu) ");
    if (at == NULL) continue;
    if (prompt == 1) fwrite(buf, 1, (size_t)(at - buf), stdout);
    have = strlen(at + 7);
    memmove(buf, at + 7, have + 1);
    if (++prompt == 1) dprintf(fd, "%s\n", command);
  }
  close(fd);
  return 0;
}

static volatile sig_atomic_t g_stop = 0;
static void OnStop(int sig) { (void)sig; g_stop = 1; }

static int Recv(int argc, char** argv) {
  const int port = atoi(argv[2]);
  const uint32_t seed = (uint32_t)strtoul(argv[3], NULL, 0);
  const size_t count = strtoul(argv[4], NULL, 0);
  const size_t frame = strtoul(argv[5], NULL, 0);
  int allowShort = 0, allowGaps = 0, idle = 20;
  for (int i = 6; i < argc; ++i) {
    if (strcmp(argv[i], "short") == 0) allowShort = 1;
    else if (strcmp(argv[i], "gaps") == 0) allowGaps = 1;
    else if (strncmp(argv[i], "idle=", 5) == 0) idle = atoi(argv[i] + 5);
  }
  uint8_t* expected = Stream(seed, count);

  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int big = 8 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  struct sockaddr_in addr = {.sin_family = AF_INET, .sin_port = htons((uint16_t)port)};
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, (struct sockaddr*)&addr, sizeof addr) != 0) {
    fprintf(stderr, "recv: cannot bind 127.0.0.1:%d: %s\n", port, strerror(errno));
    return 2;
  }
  signal(SIGTERM, OnStop);
  signal(SIGINT, OnStop);
  printf("recv ready\n");
  fflush(stdout);

  size_t cap = count + 65536, got = 0, datagrams = 0, badSizes = 0, shortOnes = 0;
  uint8_t* received = malloc(cap);
  uint8_t packet[65536];
  int quietMs = 0;
  while (got < count) {
    struct pollfd p = {fd, POLLIN, 0};
    int n = poll(&p, 1, g_stop ? 0 : 200);
    if (n == 0 && g_stop) break;
    if (n == 0) {
      quietMs += 200;
      if (quietMs >= idle * 1000) break;
      continue;
    }
    if (n < 0) continue;
    ssize_t len = recv(fd, packet, sizeof packet, 0);
    if (len < 0) continue;
    quietMs = 0;
    ++datagrams;
    if ((size_t)len != frame) {
      // Only the last datagram may be a short one, and only with "short".
      if (allowShort && (size_t)len < frame && shortOnes == 0) ++shortOnes;
      else ++badSizes;
    }
    if (got + (size_t)len > cap) {
      fprintf(stderr, "recv: more bytes than were sent\n");
      return 1;
    }
    memcpy(received + got, packet, (size_t)len);
    got += (size_t)len;
  }
  // A short datagram followed by a full one is a misplaced short one.
  if (shortOnes && got % frame == 0) ++badSizes;

  // Walk the stream: what arrived must match it byte for byte; with "gaps" a
  // missing run is skipped by finding where the next 16 bytes match again.
  size_t i = 0, j = 0, gaps = 0, lost = 0, mismatchAt = (size_t)-1;
  while (i < got) {
    if (j < count && received[i] == expected[j]) {
      ++i;
      ++j;
      continue;
    }
    size_t window = got - i < 16 ? got - i : 16, k = j + 1;
    if (allowGaps) {
      for (; k + window <= count; ++k) {
        if (memcmp(received + i, expected + k, window) == 0) break;
      }
    }
    if (!allowGaps || k + window > count) {
      mismatchAt = i;
      break;
    }
    ++gaps;
    lost += k - j;
    j = k;
  }
  lost += count - j;
  const int exact = mismatchAt == (size_t)-1 && badSizes == 0 && (allowGaps || got == count);
  printf("recv %s: bytes=%zu of %zu datagrams=%zu frame=%zu bad_sizes=%zu gaps=%zu lost=%zu "
         "sum=%08x expected_sum=%08x",
         exact ? "exact" : "WRONG", got, count, datagrams, frame, badSizes, gaps, lost,
         Fnv(received, got), Fnv(expected, count));
  if (mismatchAt != (size_t)-1) printf(" mismatch_at=%zu", mismatchAt);
  printf("\n");
  return exact ? 0 : 1;
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  if (argc == 5 && strcmp(argv[1], "feed") == 0)
    return Feed(argv[2], (uint32_t)strtoul(argv[3], NULL, 0), strtoul(argv[4], NULL, 0));
  if (argc >= 6 && strcmp(argv[1], "recv") == 0) return Recv(argc, argv);
  if (argc == 4 && strcmp(argv[1], "monitor") == 0) return Monitor(argv[2], argv[3]);
  fprintf(stderr, "usage: devtool feed SOCKET SEED COUNT | recv PORT SEED COUNT FRAME "
                  "[short] [gaps] [idle=S] | monitor SOCKET COMMAND\n");
  return 2;
}
