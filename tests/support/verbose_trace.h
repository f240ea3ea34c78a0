// Verbose trace lines captured while a test runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/process_globals.h"
#include "platform/registry.h"

namespace zxtest {

// Verbose trace lines on, captured from the debugger output (stderr here) while it lives.
class VerboseTrace {
 public:
  VerboseTrace() {
    registry_->writeDword("Software\\Brenvik\\dshow", "log", 2);
    ProcessEnvironment env = MachineEnvironment();
    env.registry = registry_.get();
    InitProcessGlobals(env);
    testing::internal::CaptureStderr();
  }
  ~VerboseTrace() {
    if (!taken_) testing::internal::GetCapturedStderr();
    InitProcessGlobals();
  }
  std::string lines() {
    taken_ = true;
    return testing::internal::GetCapturedStderr();
  }

 private:
  std::unique_ptr<platform::Registry> registry_ = platform::MakeMemoryRegistry();
  bool taken_ = false;
};

}  // namespace zxtest
