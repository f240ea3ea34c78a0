// The wait-for table alone, with made-up thread ids and no threads: each row builds a state of
// sets, joins and locks step by step and checks what a set answers and whether it was woken.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include "core/control_lock.h"
#include "core/stream/stream_claims.h"
#include "core/stream/wait_graph.h"
#include "pipeline/pl_state_lock.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace {

enum class Op {
  Set,      // thread asks whether it waits for other's call: answer
  End,      // other's call ends
  Join,     // thread joins other, for the rest of the row
  Take,     // thread takes lock `other`
  Block,    // thread blocks on lock `other`
  Release,  // lock `other` is let go
  Leave,    // thread lets go of its hold on lock `other`, the lock's other holds staying
  Unblock,  // thread stops waiting for lock `other` without taking it
  Woken,    // thread's set was woken since its last look: answer
  Hold,   // the row's own thread takes real lock `other`: K the control lock, P the state's shared
  Drop,   // it lets go of one of its holds on real lock `other`
  Await,  // it waits for the holds of the real claims S, which have none, to end
};
struct Step {
  Op op;
  char thread;
  char other;
  bool answer = false;
};
struct GraphRow {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const GraphRow& row, std::ostream* os) {
  *os << row.name;
}

// Threads are capitals, and * the row's own; locks are L and M, and the real K, P and S.
const GraphRow kGraphRows[] = {
    {"anEndedCallsEdgeGoes",
     {{Op::Set, 'C', 'A', true},
      {Op::Set, 'B', 'C', true},
      {Op::Set, 'A', 'B', false},  // B waits for C, which waits for A
      {Op::End, 0, 'C'},
      {Op::Woken, 'A', 0, true},
      {Op::Set, 'A', 'B', true}}},
    {"aSetsNewEdgeWakesTheOthers",
     {{Op::Set, 'A', 'B', true}, {Op::Set, 'B', 'C', true}, {Op::Woken, 'A', 0, true}}},
    {"aJoinClosingACycleDropsTheSetsEdgesOnIt",
     {{Op::Set, 'A', 'B', true},
      {Op::Join, 'B', 'A'},
      {Op::Join, 'B', 'X'},
      {Op::Woken, 'A', 0, true},
      {Op::Set, 'X', 'A', true}}},  // A's wait is about to end: X waits for its call
    {"aBlockedLockerWaitsForTheHolder",
     {{Op::Take, 'C', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'C', 'A'},
      {Op::Set, 'A', 'B', false}}},
    {"aLockerBlockedOnAFreeLockWaitsForNobody",
     {{Op::Block, 'B', 'L'}, {Op::Join, 'C', 'A'}, {Op::Set, 'A', 'B', true}}},
    {"theLockThroughASetsCallAndAJoin",  // the raw callback's set beside a stop
     {{Op::Take, 'H', 'L'},
      {Op::Set, 'F', 'G', true},
      {Op::Block, 'G', 'L'},
      {Op::Woken, 'F', 0, true},
      {Op::Join, 'H', 'F'},
      {Op::Woken, 'F', 0, true},
      {Op::Set, 'F', 'G', false}}},
    {"aBlockClosingASetsCycle",  // a start's callback set beside a call waiting for the start
     {{Op::Take, 'A', 'L'},
      {Op::Set, 'A', 'B', true},
      {Op::Block, 'B', 'L'},
      {Op::Woken, 'A', 0, true},
      {Op::Set, 'A', 'B', false}}},
    {"aBlockClosingACycleLeavesNoEdgeToSkipBy",
     {{Op::Take, 'H', 'L'},
      {Op::Join, 'H', 'S'},
      {Op::Join, 'H', 'Z'},
      {Op::Set, 'S', 'T', true},
      {Op::Block, 'T', 'L'},
      {Op::Woken, 'S', 0, true},
      {Op::Set, 'Z', 'S', true}}},  // S's wait is about to end: Z waits for its call
    {"theEdgeFollowsTheLockFromHandToHand",
     {{Op::Take, 'C', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Block, 'D', 'L'},
      {Op::Set, 'A', 'B', true},
      {Op::Release, 0, 'L'},
      {Op::Woken, 'A', 0, true},
      {Op::Take, 'D', 'L'},
      {Op::Woken, 'A', 0, true},
      {Op::Join, 'D', 'A'},
      {Op::Set, 'A', 'B', false}}},
    {"aTakenLockEndsTheTakersWait",
     {{Op::Take, 'C', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'C', 'A'},
      {Op::Set, 'A', 'B', false},
      {Op::Release, 0, 'L'},
      {Op::Take, 'B', 'L'},
      {Op::Set, 'A', 'B', true}}},
    {"aBlockedWriterWaitsForEveryReader",
     {{Op::Take, 'C', 'L'},
      {Op::Take, 'D', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'D', 'A'},
      {Op::Set, 'A', 'B', false},
      {Op::Leave, 'D', 'L'},
      {Op::Woken, 'A', 0, true},
      {Op::Set, 'A', 'B', true}}},  // the reader left that waited for A; C does not
    {"anEndedWaitForTheHoldersWaitsNoMore",
     {{Op::Take, 'C', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'C', 'A'},
      {Op::Set, 'A', 'B', false},
      {Op::Unblock, 'B', 'L'},
      {Op::Set, 'A', 'B', true}}},
    {"aReadersLeaveKeepsTheOtherHolds",
     {{Op::Take, 'C', 'L'},
      {Op::Take, 'C', 'L'},
      {Op::Take, 'D', 'L'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'C', 'A'},
      {Op::Leave, 'D', 'L'},
      {Op::Set, 'A', 'B', false},  // C still reads
      {Op::Leave, 'C', 'L'},
      {Op::Set, 'A', 'B', false}}},  // its outer hold is left
    {"theControlLocksHolderLeavesWithIt",
     {{Op::Hold, '*', 'K'},
      {Op::Block, 'B', 'K'},
      {Op::Join, '*', 'A'},
      {Op::Set, 'A', 'B', false},
      {Op::Drop, '*', 'K'},
      {Op::Set, 'A', 'B', true}}},
    {"aLateReleaseLeavesTheNextHolder",  // the next holder's take came first
     {{Op::Hold, '*', 'K'},
      {Op::Take, 'D', 'K'},
      {Op::Drop, '*', 'K'},
      {Op::Block, 'B', 'K'},
      {Op::Join, 'D', 'A'},
      {Op::Set, 'A', 'B', false}}},
    {"aNestedStateReaderHoldsUntilItsOuterRelease",
     {{Op::Hold, '*', 'P'},
      {Op::Hold, '*', 'P'},
      {Op::Block, 'B', 'P'},
      {Op::Join, '*', 'A'},
      {Op::Drop, '*', 'P'},
      {Op::Set, 'A', 'B', false},
      {Op::Drop, '*', 'P'},
      {Op::Set, 'A', 'B', true}}},
    {"anEndedWaitForTheClaimsLeavesNoBlock",
     {{Op::Take, 'C', 'S'},
      {Op::Join, 'C', 'A'},
      {Op::Await, '*', 'S'},
      {Op::Set, 'A', '*', true}}},
    {"anotherLocksHolderIsNotAwaited",
     {{Op::Take, 'C', 'M'},
      {Op::Block, 'B', 'L'},
      {Op::Join, 'C', 'A'},
      {Op::Set, 'A', 'B', true}}},
};

// Keeps each row's made-up threads apart from every other row's and from real threads.
class Rig {
 public:
  explicit Rig(uint32_t base) : base_(base) {}
  ~Rig() {
    sets_.clear();
    joins_.clear();
    for (auto& [lock, thread] : blocked_) {
      WaitGraph::Lock::taken(lockOf(lock), id(thread));
      WaitGraph::Lock::releasing(lockOf(lock));
    }
    for (char lock : held_) WaitGraph::Lock::releasing(lockOf(lock));
    while (!realHolds_.empty()) drop(realHolds_.back());
    for (auto& [thread, call] : calls_) WaitGraph::callEnded(call);
  }

  // Returns the answer of a set or a look at the wake; false otherwise.
  bool run(const Step& s) {
    switch (s.op) {
      case Op::Set:
        return set(s.thread).waitsFor({WaitGraph::Call{id(s.other), callOf(s.other)}});
      case Op::End:
        WaitGraph::callEnded(callOf(s.other));
        calls_.erase(s.other);
        return false;
      case Op::Join:
        joins_.push_back(std::make_unique<WaitGraph::Join>(
            id(s.thread), std::initializer_list<uint32_t>{id(s.other)}));
        return false;
      case Op::Take:
        WaitGraph::Lock::taken(lockOf(s.other), id(s.thread));
        std::erase(blocked_, std::pair{s.other, s.thread});
        held_.push_back(s.other);
        return false;
      case Op::Block:
        WaitGraph::Lock::blocking(lockOf(s.other), id(s.thread));
        blocked_.emplace_back(s.other, s.thread);
        return false;
      case Op::Release:
        WaitGraph::Lock::releasing(lockOf(s.other));
        std::erase(held_, s.other);
        return false;
      case Op::Leave:
        WaitGraph::Lock::releasing(lockOf(s.other), id(s.thread));
        return false;
      case Op::Unblock:
        WaitGraph::Lock::unblocked(lockOf(s.other), id(s.thread));
        std::erase(blocked_, std::pair{s.other, s.thread});
        return false;
      case Op::Woken:
        return wakes_.at(s.thread)->wait(0);
      case Op::Hold:
        s.other == 'K' ? control_.lock() : state_.lock_shared();
        realHolds_.push_back(s.other);
        return false;
      case Op::Drop:
        drop(s.other);
        return false;
      case Op::Await:
        claims_.waitIdle(0);
        return false;
    }
    return false;
  }

 private:
  struct Waiting {
    std::unique_ptr<platform::Event> wake;
    std::unique_ptr<WaitGraph::SetWait> set;
  };
  uint32_t id(char thread) const {
    return thread == '*' ? platform::currentThreadId() : base_ + uint32_t(thread);
  }
  const void* lockOf(char lock) const {
    return lock == 'K'   ? static_cast<const void*>(&control_)
           : lock == 'P' ? static_cast<const void*>(&state_)
           : lock == 'S' ? static_cast<const void*>(&claims_)
                         : &locks_[lock == 'L' ? 0 : 1];
  }
  void drop(char lock) {
    lock == 'K' ? control_.unlock() : state_.unlock_shared();
    realHolds_.erase(std::find(realHolds_.begin(), realHolds_.end(), lock));
  }
  uint64_t callOf(char thread) {
    auto [it, added] = calls_.emplace(thread, 0);
    if (added) it->second = WaitGraph::newCallId();
    return it->second;
  }
  // Each look starts with no wake pending: a Woken step sees only what came after it.
  WaitGraph::SetWait& set(char thread) {
    auto& wake = wakes_[thread];
    if (!wake) wake = std::make_unique<platform::Event>(platform::Event::Kind::AutoReset);
    wake->reset();
    auto& set = sets_[thread];
    if (!set) set = std::make_unique<WaitGraph::SetWait>(id(thread), *wake);
    return *set;
  }

  uint32_t base_;
  const char locks_[2] = {};
  std::map<char, std::unique_ptr<platform::Event>> wakes_;  // outlive the sets holding them
  std::map<char, std::unique_ptr<WaitGraph::SetWait>> sets_;
  std::vector<std::unique_ptr<WaitGraph::Join>> joins_;
  std::map<char, uint64_t> calls_;
  std::vector<std::pair<char, char>> blocked_;  // lock, thread
  std::vector<char> held_;
  ControlLock control_;
  PLStateLock state_;
  StreamClaims claims_;
  std::vector<char> realHolds_;
};

class WaitTable : public ::testing::TestWithParam<GraphRow> {};

TEST_P(WaitTable, ASetSkipsACallOnlyWhenItsThreadReachesTheSetter) {
  static uint32_t nextBase = 0xF0000000u;
  Rig rig(nextBase += 0x100);
  const std::vector<Step>& steps = GetParam().steps;
  for (size_t i = 0; i < steps.size(); ++i) {
    const bool answer = rig.run(steps[i]);
    if (steps[i].op != Op::Set && steps[i].op != Op::Woken) continue;
    EXPECT_EQ(answer, steps[i].answer)
        << "step " << i << (steps[i].op == Op::Set ? ": the set of " : ": the wake of ")
        << steps[i].thread;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, WaitTable, ::testing::ValuesIn(kGraphRows),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
