// A started camera deleted from each place an application may delete it, one row at a time: by
// its owner, from a data callback on a preview frame or on a still, from the event callback of a
// queued still, from the host's demosaic hook in a still, from the statistics callback (alone or
// beside a hook), or from the exposure callback a flow raises on a camera thread.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_events.h"
#include "pipeline/pl_start.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace testing_models {

enum class DeleteBy {
  Owner,
  OwnerWhileDelivering,  // with no call of the owner's between the delete and the last frame
  DataCallback,
  StillDataA,
  StillDataB,
  StillBufferCallback,
  StillEvent,
  StillHook,
  PullHook,  // the demosaic hook of a frame bound for the pull queue
  Statistics,
  StatisticsBesideHistogram,  // the frame's histogram hook is set too, and comes after
  StatisticsBesideDemosaic,
  BlackBalanceDone,  // the one-push completion, raised by the frame that measured it
  RegionNotice,
  StillNotice,
  SensorLostNotice,
};

inline const char* DeleteRowName(DeleteBy by) {
  constexpr const char* kNames[] = {"owner",
                                    "owner while delivering",
                                    "data callback",
                                    "still, data callback A",
                                    "still, data callback B",
                                    "still-buffer callback",
                                    "still's event",
                                    "still's demosaic hook",
                                    "pull frame's demosaic hook",
                                    "statistics callback",
                                    "statistics callback beside the histogram hook",
                                    "statistics callback beside the demosaic hook",
                                    "black balance's completion",
                                    "region notice",
                                    "still notice",
                                    "sensor-lost notice"};
  return kNames[int(by)];
}

inline bool DeletesInAStill(DeleteBy by) {
  return (by >= DeleteBy::StillDataA && by <= DeleteBy::StillHook) || by == DeleteBy::StillNotice;
}

// The context of every callback of one row. The delete runs once: from the callback that meets
// the row, or from the row's end when none did, so a failed row leaves no camera calling it.
struct Deleter {
  static constexpr int32_t kSensorLost = -4;

  ModelRig* rig;
  DeleteBy by;
  int32_t hookWidth = -1;                 // the hook deletes only in a frame this wide
  std::atomic<bool> fromExposure{false};  // the exposure callback deletes on a camera thread
  std::atomic<bool> loseSensor{false};    // the data callback reports it lost, once
  const std::thread::id host = std::this_thread::get_id();
  std::atomic<int> frames{0};
  std::atomic<bool> claimed{false};
  bool saved = false;  // the delete wrote the settings
  std::atomic<bool> done{false};

  void run() {
    if (claimed.exchange(true)) return;
    rig->registry().takeChanges();
    rig->close();
    const std::vector<std::string> wrote = rig->registry().takeChanges();
    saved = std::find(wrote.begin(), wrote.end(), "USM") != wrote.end();
    done = true;
  }
  void onFrame(bool still) {
    ++frames;
    const bool stillCall = by >= DeleteBy::StillDataA && by <= DeleteBy::StillBufferCallback;
    if (by == DeleteBy::DataCallback || (still && stillCall)) return run();
    if (loseSensor.exchange(false)) rig->base()->HandleError(kSensorLost);
  }
  static Deleter& of(void* context) { return *static_cast<Deleter*>(context); }
  static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t snap, void* c) {
    of(c).onFrame(snap != 0);
  }
  static void onDataB(const uint8_t*, const LumorixFrameInfo*, int32_t snap, void* c) {
    of(c).onFrame(snap != 0);
  }
  static void onStillBuffer(const uint8_t*, const LumorixFrameHeader*, int32_t snap, const uint8_t*,
                            uint32_t, const LumorixFrameInfo*, uint8_t, uint32_t, uint32_t,
                            void* c) {
    of(c).onFrame(snap != 0);
  }
  static void onEvent(uint32_t code, void* c) {
    if (code == kEventStillImage) of(c).run();
  }
  static void onDemosaic(uint32_t, int32_t w, int32_t, const void*, void*, uint8_t, void* c) {
    if (w == of(c).hookWidth) of(c).run();
  }
  static void onHistogram(const uint32_t*, uint32_t, void*) {}
  static void onResult(int32_t, void* c) { of(c).run(); }
  static void onStats(const float*, const float*, const float*, const float*, void* c) {
    of(c).run();
  }
  static void onExposure(void* c) {
    Deleter& self = of(c);
    if (self.fromExposure.load() && std::this_thread::get_id() != self.host) self.run();
  }
};

// Ends a row as it leaves, a failed assertion's return included: deletes the camera unless the
// row's callback has, so no camera thread calls the row's context once it is gone. A delete that
// began and never returned is a hang nothing would end: it says so and ends the process.
class RowDeleteOnExit {
 public:
  explicit RowDeleteOnExit(Deleter& deleter) : deleter_(deleter) {}
  ~RowDeleteOnExit() {
    if (!deleter_.claimed.exchange(true)) {
      deleter_.rig->close();
      return;
    }
    if (stream_rig::WaitUntil([&] { return deleter_.done.load(); })) return;
    std::fprintf(stderr, "deleted by the %s: the camera's delete never returned\n",
                 DeleteRowName(deleter_.by));
    std::_Exit(1);
  }
  RowDeleteOnExit(const RowDeleteOnExit&) = delete;
  RowDeleteOnExit& operator=(const RowDeleteOnExit&) = delete;

 private:
  Deleter& deleter_;
};

// Deletes the opened camera of rig, set to stream at preview, in the row's way, and checks the
// device was stopped and closed by then. A still row snaps at stillIndex (another size).
inline void DeleteStartedCamera(ModelRig& rig, PLHlperBase& helper, DeleteBy by, uint32_t preview,
                                uint32_t stillIndex, std::vector<uint8_t>& frame) {
  SCOPED_TRACE(testing::Message() << "deleted by the " << DeleteRowName(by));
  BaseImpl* cam = rig.base();
  ASSERT_NE(cam, nullptr);
  ASSERT_EQ(cam->put_eSize(preview), S_OK);
  Deleter deleter{&rig, by};
  const RowDeleteOnExit ends(deleter);
  if (by == DeleteBy::Owner) {
    ASSERT_EQ(cam->start(), S_OK);
    ASSERT_EQ(stream_rig::Puller(*cam).pull(frame, 3), 3u);
    deleter.run();
  } else if (by == DeleteBy::OwnerWhileDelivering) {
    ASSERT_EQ(cam->start(Deleter::onData, nullptr, nullptr, nullptr, &deleter), S_OK);
    ASSERT_TRUE(stream_rig::WaitUntil([&] { return deleter.frames.load() >= 3; }));
    deleter.run();
  } else {
    if (by == DeleteBy::StillHook || by == DeleteBy::PullHook) {
      int32_t height = 0;
      const uint32_t index = by == DeleteBy::StillHook ? stillIndex : preview;
      ASSERT_EQ(cam->get_Resolution(index, &deleter.hookWidth, &height), S_OK);
      ASSERT_EQ(cam->put_DemosaicCallback(Deleter::onDemosaic, &deleter), S_OK);
    }
    ASSERT_EQ(PL_SetAutoExpoEnable(helper, 0), S_OK);  // only the flow raises it
    ASSERT_EQ(cam->put_ExpoCallback(Deleter::onExposure, &deleter), S_OK);
    // Frames are delivered beside the flow: a delete on either thread meets the other running. A
    // still row's callback is the only one, so the still is delivered to it; with the event
    // callback alone frames and stills go to the queues.
    const bool queued = by == DeleteBy::StillEvent || by == DeleteBy::PullHook;
    const bool only = queued || by == DeleteBy::StillDataB || by == DeleteBy::StillBufferCallback;
    ASSERT_EQ(cam->start(only ? nullptr : Deleter::onData,
                         by == DeleteBy::StillDataB ? Deleter::onDataB : nullptr,
                         by == DeleteBy::StillBufferCallback ? Deleter::onStillBuffer : nullptr,
                         nullptr, &deleter, queued ? Deleter::onEvent : nullptr, &deleter),
              S_OK);
    deleter.fromExposure = by >= DeleteBy::RegionNotice;
    if (by >= DeleteBy::Statistics && by <= DeleteBy::StatisticsBesideDemosaic) {
      if (by == DeleteBy::StatisticsBesideHistogram) {
        ASSERT_EQ(cam->put_HistogramCallback(Deleter::onHistogram, &deleter), S_OK);
      }
      if (by == DeleteBy::StatisticsBesideDemosaic) {  // the hook never deletes: no width matches
        ASSERT_EQ(cam->put_DemosaicCallback(Deleter::onDemosaic, &deleter), S_OK);
      }
      if (by == DeleteBy::Statistics) {  // turned, the frame is read again after the callback
        ASSERT_EQ(cam->put_HFlip(1), S_OK);
      }
      ASSERT_EQ(cam->GetHistogram(Deleter::onStats, &deleter), S_OK);
    }
    if (by == DeleteBy::BlackBalanceDone) {
      ASSERT_EQ(cam->AbbOnePush(Deleter::onResult, &deleter), S_OK);
    }
    if (DeletesInAStill(by)) {
      ASSERT_EQ(cam->Snap(stillIndex, 1, reinterpret_cast<uint64_t>(&deleter)), S_OK);
    }
    if (by == DeleteBy::RegionNotice) {
      ASSERT_EQ(cam->put_Speed(helper.speed == 0 ? 1 : 0), S_OK);
    }
    deleter.loseSensor = by == DeleteBy::SensorLostNotice;
    ASSERT_TRUE(stream_rig::WaitUntil([&] { return deleter.done.load(); }))
        << "the camera was never deleted, or its delete hung";
    EXPECT_TRUE(deleter.saved) << "the settings were not saved by the delete";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the let-go thread leaves
  }
  EXPECT_EQ(rig.device().outstandingReads(), 0u);
  EXPECT_EQ(rig.device().systemInitValue(), 0);
  const auto timeline = rig.log().pipeTimeline();
  EXPECT_NE(std::find(timeline.begin(), timeline.end(), "close"), timeline.end());
  rig.log().clear();
}

}  // namespace testing_models
