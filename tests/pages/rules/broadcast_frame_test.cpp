// The frame a page's broadcast reaches, from what the window tree says about the page.
#include <gtest/gtest.h>

#include "pages/rules/broadcast_frame.h"

namespace {

constexpr uintptr_t kContainer = 0x20, kFrame = 0x30, kOwner = 0x40, kHost = 0x50;

struct FrameCase {
  const char* what;
  PageAncestry ancestry;
  std::optional<uintptr_t> frame;
};

class BroadcastFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BroadcastFrames, OnlyAFrameWithinThePagesTree) {
  EXPECT_EQ(BroadcastFrame(GetParam().ancestry), GetParam().frame) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, BroadcastFrames,
    ::testing::Values(
        FrameCase{"a property frame", {kContainer, kFrame, kFrame, true, true}, kFrame},
        FrameCase{"a frame below the top window", {kContainer, kFrame, kHost, true, true}, kFrame},
        FrameCase{"no parent", {0, kFrame, kFrame, true, true}, std::nullopt},
        FrameCase{"a top-level host without owner", {kHost, 0, kHost, true, true}, std::nullopt},
        FrameCase{"no top window", {kContainer, kFrame, 0, true, true}, std::nullopt},
        FrameCase{"a popup host's owner", {kHost, kOwner, kHost, false, false}, std::nullopt},
        FrameCase{"an owner the page's tree does not hold",
                  {kHost, kOwner, kHost, true, false},
                  std::nullopt},
        FrameCase{"a grandparent that does not hold the page",
                  {kHost, kOwner, kHost, false, true},
                  std::nullopt}));

}  // namespace
