// The injectable GUID and local-time sources shared by both platforms.
#include <atomic>
#include <ctime>

#include "platform/identity.h"

namespace platform {

namespace {
std::atomic<GuidSource> guidSource{nullptr};
std::atomic<LocalTimeSource> timeSource{nullptr};

LocalTime osLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
#ifdef _WIN32
  localtime_s(&t, &now);
#else
  localtime_r(&now, &t);
#endif
  return {t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}
}  // namespace

bool NewGuid(Guid& out) {
  const GuidSource source = guidSource.load(std::memory_order_acquire);
  return source ? source(out) : OsNewGuid(out);
}

LocalTime LocalTimeNow() {
  const LocalTimeSource source = timeSource.load(std::memory_order_acquire);
  return source ? source() : osLocalTime();
}

void SetGuidSource(GuidSource source) {
  guidSource.store(source, std::memory_order_release);
}

void SetLocalTimeSource(LocalTimeSource source) {
  timeSource.store(source, std::memory_order_release);
}

}  // namespace platform
