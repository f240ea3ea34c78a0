// Every allocation of each built row's construction failing in turn: no camera, nothing leaked
// (the leak checker of the sanitizer build judges), nothing persisted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/camera_buffer_impl.h"
#include "tests/models/model_rig.h"
#include "tests/support/failing_allocator.h"

namespace {

using testing_models::ModelRig;

// What a failed camera may have persisted: the AE limits a pipeline state stores as it is
// created, before the failure. Nothing its teardown would save.
void ExpectOnlyStateCreation(std::vector<std::string> changes, const std::string& where) {
  for (const std::string& name : changes)
    EXPECT_TRUE(name == "AeMaxTime" || name == "AeMaxGain") << name << " by " << where;
}

class CameraSuiteAllocation : public ::testing::TestWithParam<testing_models::BuiltRow> {};

TEST_P(CameraSuiteAllocation, EachFailedAllocationGivesNoCameraAndPersistsNothing) {
  ModelRig rig(GetParam());
  const WString cameraId = rig.id(ZX_W('!'));
  long n = 1;
  for (;; ++n) {
    testing_support::FailAllocation(n);
    BaseImpl* cam = OpenCameraById(cameraId.c_str(), ModelTable());
    testing_support::FailAllocation(0);
    if (rig.adopt(cam)) break;
    ExpectOnlyStateCreation(rig.registry().takeChanges(), "allocation " + std::to_string(n));
  }
  EXPECT_GT(n, 10) << "construction allocates in every part";
}

TEST_P(CameraSuiteAllocation, AFailedRawBufferGivesNoCameraAndPersistsNothing) {
  ModelRig rig(GetParam());
  SetRawBufferAllocator([](size_t) -> void* { return nullptr; });
  EXPECT_EQ(rig.open(), nullptr);
  SetRawBufferAllocator(nullptr);
  ExpectOnlyStateCreation(rig.registry().takeChanges(), "a raw buffer");
  EXPECT_NE(rig.open(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Built, CameraSuiteAllocation,
                         ::testing::ValuesIn(testing_models::BuiltRows()), testing_models::RowName);

}  // namespace
