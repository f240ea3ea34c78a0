// POSIX GUIDs: random bytes from the system's generator.
#include <random>

#include "platform/identity.h"

namespace platform {

bool OsNewGuid(Guid& out) {
  try {
    std::random_device random;
    out.data1 = random();
    out.data2 = static_cast<uint16_t>(random());
    out.data3 = static_cast<uint16_t>(random());
    for (uint8_t& b : out.data4) b = static_cast<uint8_t>(random());
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace platform
