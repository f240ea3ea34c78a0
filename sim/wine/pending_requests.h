// The requests pended on one shim handle, kept so that a cancel and a completion never race over
// a request's life.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

// One pended request; the shim derives its own. `context` is the caller's name for it, by which a
// cancel picks it.
struct PendedRequest {
  virtual ~PendedRequest() = default;
  void* context = nullptr;

 private:
  friend class PendingRequests;
  uint32_t holds = 0;                         // cancels working on it
  bool ended = false;                         // off the table, its completion given
  std::list<PendedRequest*>::iterator where;  // its place on the table while it is pending
};

// A cancel holds the requests it picks while it works on them, outside the table's lock (the
// device's cancel completes them under the device's lock, which a completion holds while it ends
// one here). A request that ends meanwhile is completed once, by its completion, and freed by
// whichever side lets it go last, so a cancel never touches a freed request nor one that reused
// its memory.
class PendingRequests {
 public:
  PendingRequests() = default;
  PendingRequests(const PendingRequests&) = delete;
  PendingRequests& operator=(const PendingRequests&) = delete;
  ~PendingRequests();

  void add(std::unique_ptr<PendedRequest> request);
  // Takes a request off as it completes (or as its start is refused), once per request, in constant
  // time however many are pending. The caller completes it and frees what it gets back; null when a
  // cancel still holds it and will free it.
  std::unique_ptr<PendedRequest> end(PendedRequest* request);
  // The requests named `context`, or every one when it is null, oldest first, each held until
  // release().
  std::vector<PendedRequest*> hold(const void* context);
  // Lets a held request go: back to free when it ended meanwhile, else null.
  std::unique_ptr<PendedRequest> release(PendedRequest* request);
  // Nothing pending and nothing held: the table may go.
  bool empty();

 private:
  std::mutex lock_;
  std::list<PendedRequest*> pending_;  // owned, oldest first; each knows its place to leave it
  uint32_t holds_ = 0;                 // of every request, ended ones included
};

}  // namespace sim
