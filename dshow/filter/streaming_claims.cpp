// The process's claims on streaming devices, by device id.
#include "dshow/filter/streaming_claims.h"

#include <mutex>
#include <string>
#include <vector>

namespace streaming_claims {
namespace {

using Id = std::basic_string<WCHAR16>;

// Bounded: holders only search the list, so it needs no edge in the wait table.
std::mutex& lock() {
  static std::mutex m;
  return m;
}
std::vector<Id>& held() {
  static std::vector<Id> ids;
  return ids;
}

}  // namespace

bool Claim(const WCHAR16* id) {
  std::lock_guard<std::mutex> guard(lock());
  std::vector<Id>& ids = held();
  const Id wanted(id);
  for (const Id& claimed : ids)
    if (claimed == wanted) return false;
  try {
    ids.push_back(wanted);
  } catch (...) {
    return false;  // out of memory: refused rather than unguarded
  }
  return true;
}

void Release(const WCHAR16* id) {
  std::lock_guard<std::mutex> guard(lock());
  std::vector<Id>& ids = held();
  for (auto it = ids.begin(); it != ids.end(); ++it) {
    if (*it == id) {
      ids.erase(it);
      return;
    }
  }
}

}  // namespace streaming_claims
