// A suite of the portable layers keeps its settings in a registry of its own under wine, as it
// does natively, so suites run side by side without sharing the prefix's registry.
#include "platform/registry.h"

namespace {

// Installed before main; a suite's own replacement stacks on top of it and restores it.
platform::ScopedRegistry privateRegistry(platform::MakeMemoryRegistry());

}  // namespace
