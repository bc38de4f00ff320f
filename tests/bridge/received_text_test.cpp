#include "bridge/received_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

void Feed(CReceivedText& text, const std::vector<unsigned>& bytes) {
  for (unsigned b : bytes) text.Append(b);
  text.Publish();
}

TEST(ReceivedText, ShowsBytesInDisplayFormWithADollarSignStartingEachLine) {
  CReceivedText text;
  text.Open();
  Feed(text, {0x24, 0x47, 0x50, 0x0D, 0x0A, 0x24, 0x41});
  EXPECT_EQ(text.GetShownBytes(), 7u);
  EXPECT_EQ(text.TakeTick().text, "\r\n$GP..\r\n$A");

  // Only the low 8 bits count; 0x7F is shown as itself.
  Feed(text, {0x00, 0x1F, 0x80, 0xFF, 0x7F, 0x20, 0x7E, 0x141});
  CReceivedText::Tick tick = text.TakeTick();
  EXPECT_FALSE(tick.bClear);
  EXPECT_EQ(tick.text, "....\x7F ~A");
  EXPECT_EQ(text.TakeTick().text, "") << "taken text is gone";
}

TEST(ReceivedText, BytesWhileClosedAreNeitherShownNorCounted) {
  CReceivedText text;
  Feed(text, {'a', 'b'});
  EXPECT_EQ(text.GetShownBytes(), 0u);
  text.Open();
  Feed(text, {'c'});
  text.Close();
  Feed(text, {'d'});
  EXPECT_EQ(text.GetShownBytes(), 1u);
  EXPECT_EQ(text.TakeTick().text, "c");
}

TEST(ReceivedText, TextOfOneOpeningNeverReachesTheNext) {
  CReceivedText text;
  text.Open();
  Feed(text, {'o', 'l', 'd'});
  text.Append('x');  // staged, not yet published, when the window goes
  text.Close();
  text.Open();  // the pending "old" goes with the new opening
  text.Publish();
  text.Append('n');
  text.Publish();
  EXPECT_EQ(text.TakeTick().text, "n");
  // Counted while the window was up: the count carries on across openings.
  EXPECT_EQ(text.GetShownBytes(), 5u);
}

TEST(ReceivedText, EmptiesTheTranscriptOnlyPastThirtyThousandBytes) {
  CReceivedText text;
  text.Open();
  for (int i = 0; i < 30000; ++i) text.Append('x');
  text.Publish();
  CReceivedText::Tick tick = text.TakeTick();
  EXPECT_FALSE(tick.bClear);
  EXPECT_EQ(tick.text.size(), 30000u);

  Feed(text, {'y'});
  tick = text.TakeTick();
  EXPECT_TRUE(tick.bClear);
  EXPECT_EQ(tick.text, "y") << "that tick's text is shown after the clear";
  EXPECT_EQ(text.GetShownBytes(), 0u);
  EXPECT_FALSE(text.TakeTick().bClear);
}

// A flood between two ticks: only the last 30000 bytes of text wait, however
// many arrive, and the count (which empties the transcript) still sees all.
TEST(ReceivedText, KeepsOnlyTheLastThirtyThousandBytesWaitingForATick) {
  CReceivedText text;
  text.Open();
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    const char c = static_cast<char>('a' + i % 23);
    text.Append(static_cast<unsigned char>(c));
    expected.push_back(c);
    if (i % 4000 == 0) text.Publish();
  }
  text.Publish();
  EXPECT_EQ(text.GetShownBytes(), 100000u);
  CReceivedText::Tick tick = text.TakeTick();
  EXPECT_TRUE(tick.bClear);
  EXPECT_EQ(tick.text, expected.substr(expected.size() - RECEIVED_TEXT_LIMIT));

  std::string waiting = "old";
  AppendWaitingText(waiting, "new", 3);
  EXPECT_EQ(waiting, "oldnew");
  const std::string big(RECEIVED_TEXT_LIMIT + 5, 'x');
  AppendWaitingText(waiting, big.data(), big.size());
  EXPECT_EQ(waiting, std::string(RECEIVED_TEXT_LIMIT, 'x'));
  AppendWaitingText(waiting, "yz", 2);
  EXPECT_EQ(waiting.size(), RECEIVED_TEXT_LIMIT);
  EXPECT_EQ(waiting.substr(waiting.size() - 3), "xyz");
}

TEST(ReceivedText, HandsOverLongRunsWithoutWaitingForTheBlockEnd) {
  CReceivedText text;
  text.Open();
  for (size_t i = 0; i < CReceivedText::PUBLISH_AT + 10; ++i) text.Append('z');
  EXPECT_GE(text.TakeTick().text.size(), CReceivedText::PUBLISH_AT);
}

// The reader appends and publishes per block while the UI thread ticks: no
// byte is lost, duplicated or reordered (and ThreadSanitizer stays quiet).
TEST(ReceivedText, ReaderAndDisplayTimerShareTheTextSafely) {
  CReceivedText text;
  text.Open();
  constexpr int kBlocks = 2000;
  constexpr int kBlockSize = 97;
  std::atomic<bool> done{false};
  std::atomic<std::size_t> taken{0};
  std::thread reader([&] {
    for (int block = 0; block < kBlocks; ++block) {
      // Never more waiting than a tick may take, or the oldest would go.
      while (static_cast<std::size_t>(block * kBlockSize) - taken.load() > RECEIVED_TEXT_LIMIT - kBlockSize) {
        std::this_thread::yield();
      }
      for (int i = 0; i < kBlockSize; ++i) text.Append(static_cast<unsigned>('a' + (block * kBlockSize + i) % 26));
      text.Publish();
    }
    done.store(true);
  });
  std::string shown;
  while (!done.load()) {
    shown += text.TakeTick().text;
    taken.store(shown.size());
  }
  reader.join();
  shown += text.TakeTick().text;

  ASSERT_EQ(shown.size(), static_cast<size_t>(kBlocks * kBlockSize));
  for (size_t i = 0; i < shown.size(); ++i) {
    ASSERT_EQ(shown[i], static_cast<char>('a' + i % 26)) << "at " << i;
  }
}

}  // namespace
