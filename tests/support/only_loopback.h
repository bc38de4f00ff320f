// Whether this process sees no network interface but loopback, as inside
// ./scripts/loopback-only: only then may a test aim at an address such as
// 255.255.255.255, which fails here with "no route" and would reach a real
// network anywhere else.
#pragma once

#include <net/if.h>

#include <cstring>

inline bool OnlyLoopback() {
  struct if_nameindex* names = if_nameindex();
  if (names == nullptr) return false;
  bool onlyLo = true;
  for (struct if_nameindex* at = names; at->if_index != 0; ++at) {
    if (std::strcmp(at->if_name, "lo") != 0) onlyLo = false;
  }
  if_freenameindex(names);
  return onlyLo;
}

#define SKIP_UNLESS_ONLY_LOOPBACK() \
  do {                               \
    if (!OnlyLoopback()) GTEST_SKIP() << "needs a network with only loopback: run it under ./scripts/loopback-only"; \
  } while (0)
