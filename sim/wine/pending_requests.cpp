// PendingRequests: pended requests with the holds of the cancels working on them.
#include "sim/wine/pending_requests.h"

namespace sim {

PendingRequests::~PendingRequests() {
  for (PendedRequest* r : pending_) delete r;
}

void PendingRequests::add(std::unique_ptr<PendedRequest> request) {
  std::lock_guard<std::mutex> hold(lock_);
  request->where = pending_.insert(pending_.end(), request.get());
  request.release();
}

std::unique_ptr<PendedRequest> PendingRequests::end(PendedRequest* request) {
  std::lock_guard<std::mutex> hold(lock_);
  pending_.erase(request->where);
  request->ended = true;
  return std::unique_ptr<PendedRequest>(request->holds ? nullptr : request);
}

std::vector<PendedRequest*> PendingRequests::hold(const void* context) {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<PendedRequest*> picked;
  for (PendedRequest* r : pending_) {
    if (context && r->context != context) continue;
    ++r->holds;
    ++holds_;
    picked.push_back(r);
  }
  return picked;
}

std::unique_ptr<PendedRequest> PendingRequests::release(PendedRequest* request) {
  std::lock_guard<std::mutex> hold(lock_);
  --request->holds;
  --holds_;
  return std::unique_ptr<PendedRequest>(request->ended && !request->holds ? request : nullptr);
}

bool PendingRequests::empty() {
  std::lock_guard<std::mutex> hold(lock_);
  return pending_.empty() && !holds_;
}

}  // namespace sim
