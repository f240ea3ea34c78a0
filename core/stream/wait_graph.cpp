// Who waits for whom: the threads waiting in a callback slot's set, joining camera threads, or
// blocked on a camera's lock or its stream's holds.
#include "core/stream/wait_graph.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "pipeline/pl_state_lock.h"
#include "platform/lock.h"

namespace {

constexpr uint64_t kJoinEdge = 0;  // a join waits for the thread, not for one of its calls
constexpr uint32_t kNoThread = 0;  // no thread has it: wakes every waiter

struct Edge {
  uint32_t from;
  uint32_t to;
  uint64_t call;  // the call waited for, or kJoinEdge
};

struct Waiter {
  uint32_t threadId;
  platform::Event* wake;  // the set's own, removed before it goes
};

// A thread blocked on a lock, or a lock's holder: the edge from each blocked thread to the holder
// is read from these, so it follows the lock from hand to hand.
struct LockUse {
  const void* lock;
  uint32_t thread;
};

struct Table {
  platform::Mutex lock;
  std::vector<Edge> edges;
  std::vector<LockUse> blocked;
  std::vector<LockUse> holders;  // one per hold, while any thread may block on the lock
  std::vector<Waiter> waiters;   // one per thread waiting in a set: a waiting thread sets nothing
  std::atomic<uint64_t> lastCall{kJoinEdge};
};

// Never destroyed: a detached camera thread may still end a call while the process exits.
Table& table() {
  static auto* t = new Table;
  return *t;
}

// Under the table's lock: the threads `thread` waits for, through its edges and its lock waits.
template <class Visit>
void forEachAwaited(const Table& t, uint32_t thread, Visit visit) {
  for (const Edge& e : t.edges)
    if (e.from == thread) visit(e.to);
  for (const LockUse& b : t.blocked)
    if (b.thread == thread)
      for (const LockUse& h : t.holders)
        if (h.lock == b.lock && h.thread != thread) visit(h.thread);
}

// Under the table's lock: whether `from` waits for `to`, directly or through waiting threads.
bool reaches(const Table& t, uint32_t from, uint32_t to) {
  std::vector<uint32_t> seen{from}, next{from};
  bool found = false;
  while (!next.empty() && !found) {
    const uint32_t thread = next.back();
    next.pop_back();
    forEachAwaited(t, thread, [&](uint32_t awaited) {
      if (found || std::find(seen.begin(), seen.end(), awaited) != seen.end()) return;
      found = awaited == to;
      seen.push_back(awaited);
      next.push_back(awaited);
    });
  }
  return found;
}

void wakeOthers(const Table& t, uint32_t self) {
  for (const Waiter& w : t.waiters)
    if (w.threadId != self) w.wake->set();
}

// True when any edge went.
template <class Match>
bool removeEdges(Table& t, Match match) {
  const auto end = std::remove_if(t.edges.begin(), t.edges.end(), match);
  const bool removed = end != t.edges.end();
  t.edges.erase(end, t.edges.end());
  return removed;
}

// Under the table's lock: self no longer blocks on the lock.
void dropBlocked(Table& t, const void* lock, uint32_t self) {
  const auto mine = [&](const LockUse& b) { return b.lock == lock && b.thread == self; };
  t.blocked.erase(std::remove_if(t.blocked.begin(), t.blocked.end(), mine), t.blocked.end());
}

// A join's or a lock's edges may close a cycle through sets that looked before it. Their edges on
// it go, so no other set skips a call on the strength of a wait that is about to end; woken, those
// sets look again and keep what still holds.
void breakCycles(Table& t) {
  std::vector<Edge> kept;
  for (const Edge& e : t.edges)
    if (e.call == kJoinEdge || !reaches(t, e.to, e.from)) kept.push_back(e);
  t.edges.swap(kept);
}

// The pipeline state's lock lies below this layer and reports through its watch: a rebuild
// blocked on it waits for every reader, and a reader may be in a host hook's set.
const PLStateLock::Watch kStateLockWatch{&WaitGraph::Lock::blocking, &WaitGraph::Lock::taken,
                                         &WaitGraph::Lock::releasing};
[[maybe_unused]] const bool kStateLockWatched = (PLStateLock::watch(&kStateLockWatch), true);

}  // namespace

uint64_t WaitGraph::newCallId() {
  return ++table().lastCall;
}

void WaitGraph::callEnded(uint64_t callId) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  if (removeEdges(t, [&](const Edge& e) { return e.call == callId; })) wakeOthers(t, kNoThread);
}

WaitGraph::SetWait::SetWait(uint32_t self, platform::Event& wake) : self_(self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  t.waiters.push_back(Waiter{self, &wake});
}

WaitGraph::SetWait::~SetWait() {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  t.waiters.erase(std::find_if(t.waiters.begin(), t.waiters.end(),
                               [&](const Waiter& w) { return w.threadId == self_; }));
  if (removeEdges(t, [&](const Edge& e) { return e.from == self_; })) wakeOthers(t, self_);
}

bool WaitGraph::SetWait::waitsFor(const std::vector<Call>& calls) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  std::vector<Edge> before, after;
  for (const Edge& e : t.edges)
    if (e.from == self_) before.push_back(e);
  // This thread's own edges lead only away from it: they change no answer below.
  for (const Call& c : calls)
    if (!reaches(t, c.threadId, self_)) after.push_back(Edge{self_, c.threadId, c.id});
  const auto same = [](const Edge& a, const Edge& b) { return a.call == b.call; };
  if (!std::equal(before.begin(), before.end(), after.begin(), after.end(), same)) {
    removeEdges(t, [&](const Edge& e) { return e.from == self_; });
    t.edges.insert(t.edges.end(), after.begin(), after.end());
    wakeOthers(t, self_);
  }
  return !after.empty();
}

WaitGraph::Join::Join(uint32_t self, std::initializer_list<uint32_t> threads) : self_(self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  for (const uint32_t thread : threads)
    if (thread != kNoThread && thread != self) t.edges.push_back(Edge{self, thread, kJoinEdge});
  breakCycles(t);
  wakeOthers(t, self);
}

WaitGraph::Join::~Join() {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  removeEdges(t, [&](const Edge& e) { return e.from == self_ && e.call == kJoinEdge; });
  wakeOthers(t, self_);
}

void WaitGraph::Lock::blocking(const void* lock, uint32_t self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  t.blocked.push_back(LockUse{lock, self});
  breakCycles(t);
  wakeOthers(t, self);
}

void WaitGraph::Lock::taken(const void* lock, uint32_t self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  dropBlocked(t, lock, self);
  t.holders.push_back(LockUse{lock, self});
  // The threads still blocked on it now wait for this one: a new edge each, but no cycle, since a
  // thread that was blocked here waits for nothing else.
  const auto others = [&](const LockUse& b) { return b.lock == lock; };
  if (std::any_of(t.blocked.begin(), t.blocked.end(), others)) wakeOthers(t, self);
}

void WaitGraph::Lock::releasing(const void* lock, uint32_t self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  const auto held = [&](const LockUse& h) { return h.lock == lock; };
  if (self == kNoThread) {
    t.holders.erase(std::remove_if(t.holders.begin(), t.holders.end(), held), t.holders.end());
  } else {
    const auto mine = std::find_if(t.holders.begin(), t.holders.end(), [&](const LockUse& h) {
      return h.lock == lock && h.thread == self;
    });
    if (mine != t.holders.end()) t.holders.erase(mine);  // one hold of a shared lock's several
  }
  if (std::any_of(t.blocked.begin(), t.blocked.end(), held)) wakeOthers(t, kNoThread);
}

// An ended wait removes edges only: no set waits the less for a call, so none is woken.
void WaitGraph::Lock::unblocked(const void* lock, uint32_t self) {
  Table& t = table();
  std::lock_guard<platform::Mutex> hold(t.lock);
  dropBlocked(t, lock, self);
}
