// Raw buffer lists: single-thread operations and four threads cycling records through them.
#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

#include "core/camera_buffer_impl.h"

namespace {

TEST(CameraObjectBufferLists, PopAndPushRules) {
  CameraBufferImpl buffers(256);
  ASSERT_TRUE(buffers.valid());
  EXPECT_EQ(buffers.popReady(), nullptr);

  RawBufferRecord* first = buffers.popFree();
  ASSERT_EQ(first, &buffers.record(0));
  buffers.appendReady(first);
  buffers.appendReady(buffers.popFree());
  const std::vector<RawBufferRecord*> ready = {&buffers.record(0), &buffers.record(1)};
  EXPECT_EQ(buffers.readyList(), ready);
  EXPECT_EQ(buffers.popReady(), &buffers.record(0));  // oldest first

  ASSERT_TRUE(buffers.freeEvent().wait(0));  // consume the initial signal
  buffers.pushFreeQuiet(first);
  EXPECT_FALSE(buffers.freeEvent().wait(0)) << "the grabber's push must not signal";
  buffers.pushFree(buffers.popReady());
  EXPECT_TRUE(buffers.freeEvent().wait(0)) << "the freeing push signals";
  const std::vector<RawBufferRecord*> freed = {&buffers.record(1), &buffers.record(0),
                                               &buffers.record(2)};
  EXPECT_EQ(buffers.freeList(), freed);  // pushes go to the head

  buffers.resetLists();
  const std::vector<RawBufferRecord*> reset = {&buffers.record(0), &buffers.record(1),
                                               &buffers.record(2)};
  EXPECT_EQ(buffers.freeList(), reset);
  EXPECT_TRUE(buffers.readyList().empty());
}

TEST(CameraObjectBufferLists, FourThreadsKeepEveryRecordListedOnce) {
  CameraBufferImpl buffers(64);
  ASSERT_TRUE(buffers.valid());
  constexpr int kCycles = 10'000;
  auto producer = [&buffers] {
    for (int i = 0; i < kCycles;) {
      if (RawBufferRecord* r = buffers.popFree()) {
        buffers.appendReady(r);
        ++i;
      } else {
        std::this_thread::yield();
      }
    }
  };
  auto consumer = [&buffers](bool quiet) {
    for (int i = 0; i < kCycles;) {
      if (RawBufferRecord* r = buffers.popReady()) {
        quiet ? buffers.pushFreeQuiet(r) : buffers.pushFree(r);
        ++i;
      } else {
        std::this_thread::yield();
      }
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(producer);
  threads.emplace_back(producer);
  threads.emplace_back(consumer, false);
  threads.emplace_back(consumer, true);
  for (std::thread& t : threads) t.join();

  std::map<RawBufferRecord*, int> seen;
  for (RawBufferRecord* r : buffers.freeList()) ++seen[r];
  for (RawBufferRecord* r : buffers.readyList()) ++seen[r];
  ASSERT_EQ(seen.size(), CameraBufferImpl::kRecordCount);
  for (size_t i = 0; i < CameraBufferImpl::kRecordCount; ++i)
    EXPECT_EQ(seen[&buffers.record(i)], 1) << i;
  EXPECT_TRUE(buffers.readyList().empty());
}

}  // namespace
