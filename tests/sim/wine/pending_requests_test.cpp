// The shim's pending requests: a cancel working on a request and its completion each let it go
// once, and the last one frees it.
#include "sim/wine/pending_requests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

struct Counted : sim::PendedRequest {
  Counted(std::atomic<int>* freeCount, uint64_t serialNo) : frees(freeCount), serial(serialNo) {}
  ~Counted() override { ++*frees; }
  std::atomic<int>* frees;
  uint64_t serial;
};

enum class Step { Hold, End, Release };
struct Interleaving {
  std::vector<Step> steps;
  size_t freedAt;  // the step after which the request is gone
};

class Interleavings : public ::testing::TestWithParam<Interleaving> {};

TEST_P(Interleavings, FreedOnceByTheLastToLetGo) {
  sim::PendingRequests table;
  std::atomic<int> frees{0};
  auto owned = std::make_unique<Counted>(&frees, 1);
  sim::PendedRequest* request = owned.get();
  table.add(std::move(owned));
  bool ended = false;
  for (size_t i = 0; i < GetParam().steps.size(); ++i) {
    switch (GetParam().steps[i]) {
      case Step::Hold: {  // an ended request is no longer picked
        const auto expected =
            ended ? std::vector<sim::PendedRequest*>{} : std::vector<sim::PendedRequest*>{request};
        ASSERT_EQ(table.hold(nullptr), expected);
        break;
      }
      case Step::End:
        table.end(request);
        ended = true;
        break;
      case Step::Release:
        table.release(request);
        break;
    }
    EXPECT_EQ(frees, i >= GetParam().freedAt ? 1 : 0) << "after step " << i;
  }
  EXPECT_TRUE(table.empty());
}

using enum Step;
INSTANTIATE_TEST_SUITE_P(
    Table, Interleavings,
    ::testing::Values(Interleaving{{End}, 0}, Interleaving{{Hold, Release, End}, 2},
                      Interleaving{{Hold, End, Release}, 2},
                      Interleaving{{Hold, Hold, End, Release, Release}, 4},
                      Interleaving{{Hold, End, Release, Hold}, 2}));  // the ended one is not picked

TEST(PendingRequests, PicksByContextOrAll) {
  sim::PendingRequests table;
  std::atomic<int> frees{0};
  int a = 0, b = 0;
  std::vector<sim::PendedRequest*> added;
  for (void* context : {static_cast<void*>(&a), static_cast<void*>(&b), static_cast<void*>(&a)}) {
    auto r = std::make_unique<Counted>(&frees, added.size());
    r->context = context;
    added.push_back(r.get());
    table.add(std::move(r));
  }
  const std::vector<sim::PendedRequest*> picked = table.hold(&a);
  EXPECT_EQ(picked, (std::vector<sim::PendedRequest*>{added[0], added[2]}));
  for (sim::PendedRequest* r : picked) table.release(r);
  const std::vector<sim::PendedRequest*> all = table.hold(nullptr);
  EXPECT_EQ(all, added);
  for (sim::PendedRequest* r : all) table.end(r);
  EXPECT_FALSE(table.empty());  // still held: the handle must outlive the cancel
  for (sim::PendedRequest* r : all) table.release(r);
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(frees, 3);
}

// Waits for the table to empty while requests keep being freed; false once none has been for a
// long while (a request never ended, or one its holder never let go).
bool DrainsWhileFreeing(sim::PendingRequests& table, const std::atomic<int>& frees) {
  constexpr auto kStall = std::chrono::seconds(15);
  int seen = frees;
  auto lastProgress = std::chrono::steady_clock::now();
  while (!table.empty()) {
    if (frees != seen) {
      seen = frees;
      lastProgress = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - lastProgress > kStall) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

// A device completing requests on its thread, a host adding new ones (which may take a freed one's
// memory) and a cancel working through what it holds: each request completes exactly once, and
// what a cancel finds is the request it picked.
TEST(PendingRequests, CancelRacingCompletionEndsEachOnce) {
  constexpr uint64_t kRequests = 20000;
  sim::PendingRequests table;
  std::mutex deviceLock;                   // the camera's lock, held while it completes
  std::set<sim::PendedRequest*> onDevice;  // what the camera still owes
  std::vector<std::atomic<int>> completions(kRequests);
  std::atomic<int> frees{0};
  std::atomic<bool> stop{false};
  auto complete = [&](sim::PendedRequest* r) {  // with deviceLock held, as the camera does
    onDevice.erase(r);
    const uint64_t serial = static_cast<Counted*>(r)->serial;
    std::unique_ptr<sim::PendedRequest> owned = table.end(r);
    completions[serial]++;
  };
  std::thread device([&] {
    while (!stop) {
      std::unique_lock<std::mutex> hold(deviceLock);
      if (onDevice.empty()) {  // idle: leave the lock to the host adding requests
        hold.unlock();
        std::this_thread::yield();
      } else {
        complete(*onDevice.begin());
      }
    }
  });
  std::thread canceller([&] {
    while (!stop) {
      const std::vector<sim::PendedRequest*> held = table.hold(nullptr);
      if (held.empty()) std::this_thread::yield();  // idle: nothing pending to cancel
      for (sim::PendedRequest* r : held) {
        const uint64_t picked = static_cast<Counted*>(r)->serial;
        {
          std::lock_guard<std::mutex> hold(deviceLock);
          if (onDevice.count(r)) {
            EXPECT_EQ(static_cast<Counted*>(r)->serial, picked);
            complete(r);
          }
        }
        table.release(r);
      }
    }
  });
  for (uint64_t i = 0; i < kRequests; ++i) {
    std::lock_guard<std::mutex> hold(deviceLock);
    auto r = std::make_unique<Counted>(&frees, i);
    onDevice.insert(r.get());
    table.add(std::move(r));
  }
  const bool drained = DrainsWhileFreeing(table, frees);
  stop = true;
  device.join();
  canceller.join();
  ASSERT_TRUE(drained) << "the table never emptied: " << frees << " of " << kRequests << " freed";
  for (uint64_t i = 0; i < kRequests; ++i) ASSERT_EQ(completions[i].load(), 1) << "request " << i;
  EXPECT_EQ(frees.load(), static_cast<int>(kRequests));
}

}  // namespace
