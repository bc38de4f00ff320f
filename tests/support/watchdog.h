// Runs fn on its own thread and fails the test (and the run, which would
// otherwise hang) when it has not returned after a generous while.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

template <typename Fn>
void WithWatchdog(const char* what, Fn fn) {
  auto done = std::async(std::launch::async, fn);
  if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << what << " did not return";
    std::_Exit(1);
  }
  done.get();
}
