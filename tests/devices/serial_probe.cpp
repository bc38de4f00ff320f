// serial_probe: the serial engine alone on a real port, for the device
// tests' guests (built for the platform whose engine it tests).
//
//   serial_probe PORT BAUD PARITY DATA STOP SEED COUNT
//
// Opens PORT with the settings (parity as the English word: none, odd, even,
// mark, space), prints "probe open" (or "probe cannot open: CAUSE" and exits
// 2), then takes bytes until COUNT have come or none for 20 seconds,
// compares them with devtool's stream for SEED, prints one summary line
// ("probe exact: ..." or "probe WRONG: ...") with what the driver reported
// as lost and the rate from the first byte to the last, closes the port and
// says how long the close took. Exit status 0
// when the bytes are exact. A port that is lost and back meanwhile says
// "probe lost N" and "probe back" as it happens; its bytes count from the
// return, so that the stream fed after it must arrive whole.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "device/serial_port.h"
#include "device/serial_settings.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Received {
  std::vector<std::uint8_t> bytes;
  Clock::time_point first;  // the reader's own, like the bytes
  Clock::time_point last;
  std::atomic<std::size_t> count{0};
  std::atomic<int> blocks{0};
  std::atomic<int> states{0};
};

void OnBlock(const std::uint8_t* data, std::size_t length, void* context) {
  auto* received = static_cast<Received*>(context);
  received->last = Clock::now();
  if (received->count == 0) received->first = received->last;
  for (std::size_t i = 0; i < length && received->count < received->bytes.size(); ++i) {
    received->bytes[received->count] = data[i];
    received->count.store(received->count + 1);
  }
  received->blocks.fetch_add(1);
}

int OnByte(unsigned int byte, void* context) {
  const std::uint8_t one = static_cast<std::uint8_t>(byte);
  OnBlock(&one, 1, context);
  return 0;
}

void OnState(int lost, void* context) {
  auto* received = static_cast<Received*>(context);
  received->states.fetch_add(1);
  if (lost != SERIAL_PORT_BACK) {
    std::printf("probe lost %d\n", lost);
  } else {
    received->count.store(0);
    std::printf("probe back\n");
  }
}

std::uint8_t StreamByte(std::uint32_t* x) {
  *x ^= *x << 13;
  *x ^= *x >> 17;
  *x ^= *x << 5;
  return static_cast<std::uint8_t>(*x >> 24);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc != 8) {
    std::fprintf(stderr, "usage: serial_probe PORT BAUD PARITY DATA STOP SEED COUNT\n");
    return 2;
  }
  std::string parity = argv[3];
  for (const SerialParity& p : SERIAL_PARITIES) {
    if (parity == p.szWord) parity = p.szName;
  }
  const std::uint32_t seed = static_cast<std::uint32_t>(std::strtoul(argv[6], nullptr, 0));
  Received received;
  received.bytes.resize(std::strtoul(argv[7], nullptr, 0));

  CSerialPort port;
  port.SetReceiveCallback(&OnByte, &received, &OnBlock);
  port.SetPortStateCallback(&OnState, &received);
  if (!port.Open(argv[1], argv[2], parity, argv[4], argv[5], EV_RXCHAR | EV_RXFLAG | EV_CTS | EV_DSR)) {
    std::printf("probe cannot open: %s\n", DescribeSerialOpenError(port.GetOpenError(), Wording::kEnglish).c_str());
    return 2;
  }
  std::printf("probe open\n");

  std::size_t last = 0;
  int lastStates = 0;
  auto lastChange = Clock::now();
  while (received.count < received.bytes.size() && Clock::now() - lastChange < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (received.count != last || received.states != lastStates) {
      last = received.count;
      lastStates = received.states;
      lastChange = Clock::now();
    }
  }
  SerialErrorCounts errors;
  const bool counted = port.GetErrorCounts(&errors);
  const auto closing = Clock::now();
  port.Close();
  const long long closeMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing).count();

  std::uint32_t x = seed ? seed : 1;
  std::size_t mismatch = received.count;
  for (std::size_t i = 0; i < received.count; ++i) {
    if (received.bytes[i] != StreamByte(&x) && mismatch == received.count) mismatch = i;
  }
  const bool exact = mismatch == received.count && received.count == received.bytes.size();
  std::printf("probe %s: bytes=%zu of %zu blocks=%d", exact ? "exact" : "WRONG", received.count.load(),
              received.bytes.size(), received.blocks.load());
  if (mismatch != received.count) std::printf(" mismatch_at=%zu", mismatch);
  if (counted) {
    std::printf(" driver: overrun=%u queue=%u parity=%u frame=%u", errors.overrun, errors.bufferOverrun,
                errors.parity, errors.frame);
  }
  const long long spanMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(received.last - received.first).count();
  if (received.count > 1 && spanMs > 0) std::printf(" rate=%lldB/s", static_cast<long long>(received.count) * 1000 / spanMs);
  std::printf(" close=%lldms\n", closeMs);
  return exact ? 0 : 1;
}
