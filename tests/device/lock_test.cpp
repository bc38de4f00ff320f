#include "device/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "support/wait.h"

namespace {

// True when another thread can take the section right now (it gives up after
// a while, so a held section reads as false without hanging).
bool OtherThreadCanTake(CLockSection& section) {
  std::atomic<bool> taken{false};
  std::atomic<bool> done{false};
  std::thread other([&] {
    section.Lock();
    taken.store(true);
    section.Unlock();
    done.store(true);
  });
  // A free section is waited for generously. Held by this thread, the wait
  // is bounded: it proves the other thread does NOT get in.
  WaitUntil([&] { return done.load(); }, section.IsHeldByCurrentThread() ? 100 : WAIT_LIMIT_MS);
  const bool result = taken.load();
  if (!result) {
    // Let it through so the thread can be joined; the caller still holds the
    // section, so release every level briefly.
    CUnlockScope let(section);
    other.join();
  } else {
    other.join();
  }
  return result;
}

}  // namespace

TEST(Lock, TheHolderMayTakeItAgainOthersWait) {
  CLockSection section;
  EXPECT_EQ(section.IsHeldByCurrentThread(), 0);
  {
    CLockScope outer(section);
    CLockScope inner(section);
    EXPECT_EQ(section.IsHeldByCurrentThread(), 1);
    EXPECT_FALSE(OtherThreadCanTake(section));
  }
  EXPECT_EQ(section.IsHeldByCurrentThread(), 0);
  EXPECT_TRUE(OtherThreadCanTake(section));
}

TEST(Lock, AScopeLeavesTheSectionWhenAnExceptionPasses) {
  CLockSection section;
  try {
    CLockScope scope(section);
    throw std::runtime_error("out");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(section.IsHeldByCurrentThread(), 0);
  EXPECT_TRUE(OtherThreadCanTake(section));
}

TEST(Lock, UnlockScopeLetsOthersInAtAnyDepthAndRestoresIt) {
  CLockSection section;
  section.Lock();
  section.Lock();
  section.Lock();
  {
    CUnlockScope let(section);
    EXPECT_EQ(section.IsHeldByCurrentThread(), 0);
    EXPECT_TRUE(OtherThreadCanTake(section));
  }
  EXPECT_EQ(section.IsHeldByCurrentThread(), 1);
  section.Unlock();
  section.Unlock();
  EXPECT_EQ(section.IsHeldByCurrentThread(), 1) << "all three levels came back";
  section.Unlock();
  EXPECT_EQ(section.IsHeldByCurrentThread(), 0);

  {
    CUnlockScope notHeld(section);  // nothing to release, nothing to take back
  }
  EXPECT_EQ(section.IsHeldByCurrentThread(), 0);
}
