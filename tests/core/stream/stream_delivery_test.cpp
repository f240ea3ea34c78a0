// Frame delivery on the fake model: the pull queue, PullImage, snaps and stills, the end of a
// stream, and the three event sinks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "core/stream/event_sink.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using namespace zxstream;

void ignoreData(const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}

HRESULT startWithSink(FakeModel& cam, EventLog& log, int32_t paused = 0) {
  return cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log, nullptr, 0,
                   paused);
}

TEST(StreamDelivery, RealTimePullsGetTheNewestFrame) {
  FakeModel cam;
  cam.setRealTimeMode(1);
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 10; }));  // no pull: frames keep replacing
  cam.put_Pause(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const size_t delivered = log.count(4);
  LumorixFrameEntry entry{};
  ASSERT_EQ(cam.PopFrame(&entry), S_OK);
  ASSERT_NE(entry.data, nullptr);
  EXPECT_GE(entry.info.sequence, delivered);  // not one of the first three: the newest
  EXPECT_GT(delivered, 3u);
  cam.ReturnFrame(&entry);
  ASSERT_EQ(cam.PopFrame(&entry), S_OK);
  EXPECT_EQ(entry.data, nullptr);  // only the newest was kept
  cam.stop();
}

TEST(StreamDelivery, PullQueueAllocationFailureFreesWhatWasMade) {
  for (int nth = 1; nth <= 3; ++nth) {
    FakeModel cam;
    EventLog log;
    FailFrameAllocationAt(nth);
    EXPECT_EQ(startWithSink(cam, log), E_OUTOFMEMORY) << nth;
    FailFrameAllocationAt(0);
    EXPECT_FALSE(cam.started());
    EXPECT_FALSE(cam.hasThreads());
    ASSERT_EQ(startWithSink(cam, log), S_OK);  // and nothing stale is in the queue
    ASSERT_TRUE(waitFor([&] { return log.count(4) >= 3; }));
    cam.stop();
  }
}

TEST(StreamDelivery, PullImageTable) {
  FakeModel cam;
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 3; }));
  cam.put_Pause(1);
  std::vector<uint8_t> out(1024 * 770 * 4 + 64, 0xEE);
  LumorixFrameInfo peek{}, info{};
  ASSERT_EQ(cam.PullImage(nullptr, 24, 0, &peek), S_OK);  // a peek takes nothing
  EXPECT_EQ(cam.PullImage(nullptr, 24, 0, nullptr), E_POINTER);
  EXPECT_EQ(cam.PullImage(out.data(), 48, 0, nullptr), E_INVALIDARG);  // mode 0 has no 48
  EXPECT_EQ(cam.PullImage(out.data(), 24, 1024 * 3 - 1, nullptr), E_OUTOFMEMORY);
  // The short pitch consumed the peeked frame and returned its entry: the producer refills.
  cam.put_Pause(0);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 4; }));
  ASSERT_EQ(cam.PullImage(out.data(), 24, 0, &info), S_OK);
  EXPECT_GT(info.sequence, peek.sequence);
  uint32_t stamp24 = 0;
  std::memcpy(&stamp24, out.data(), 4);
  EXPECT_EQ(stamp24, info.sequence);
  ASSERT_EQ(cam.PullImage(out.data(), 32, 0, &info), S_OK);
  EXPECT_EQ(out[3], 0);  // 24 -> 32: the fourth byte is padding
  EXPECT_EQ(out[0], static_cast<uint8_t>(info.sequence));
  ASSERT_EQ(cam.PullImage(out.data(), 8, 1024 + 8, &info), S_OK);  // pitch wider than a row
  cam.stop();
}

// Raw frames are pulled at their own depth whatever the output mode's rows: the pull queue holds
// them, also once the camera switches to its deepest format, and a pitch short of a raw row is
// refused. Frames deeper than that are dropped, their entries back free (the address checker sees
// one written past or freed while queued).
TEST(StreamDelivery, PullImageTakesRawFramesAtTheirDepth) {
  const struct {
    uint32_t outputMode, rawBytes, deepestRawBytes;
    uint32_t deeper = 0;  // raw bytes per pixel beyond the entries after three frames
  } table[] = {{kOutputGrey8, 1, 1},  {kOutputGrey8, 2, 2}, {kOutputGrey8, 1, 2},
               {kOutputGrey16, 3, 1}, {kOutputRgb8, 2, 2},  {kOutputGrey8, 1, 1, 2}};
  for (const auto& row : table) {
    SCOPED_TRACE(std::to_string(row.outputMode) + " at " + std::to_string(row.rawBytes) +
                 (row.deeper ? " then deeper" : ""));
    FakeModel cam;
    cam.setRawOption(true);
    cam.outputMode = row.outputMode;
    cam.rawBytes = row.rawBytes;
    cam.deepestRawBytes = row.deepestRawBytes;
    cam.setRealTimeMode(row.deeper != 0);  // each frame takes the newest filled entry: no pulls
    EventLog log;
    ASSERT_EQ(startWithSink(cam, log), S_OK);
    ASSERT_TRUE(waitFor([&] { return log.count(4) >= 3; }));
    if (row.deeper != 0) {
      constexpr uint32_t kFramesInFlight = 8;  // grabs enough for a delivery begun before to end
      cam.rawBytes = row.deeper;
      const auto grabbed = [&cam, from = cam.grabs.load()](uint32_t n) {
        return waitFor([&] { return cam.grabs.load() >= from + n; });
      };
      ASSERT_TRUE(grabbed(kFramesInFlight));
      const size_t delivered = log.count(4);
      ASSERT_TRUE(grabbed(2 * kFramesInFlight));
      cam.stop();
      EXPECT_EQ(log.count(4), delivered) << "a frame deeper than the entries was queued";
      continue;
    }
    const uint32_t rawBytes = std::max(row.rawBytes, row.deepestRawBytes);
    cam.rawBytes = rawBytes;  // the frames after these three
    const uint32_t rowBytes = 1024 * rawBytes;
    std::vector<uint8_t> out(size_t{rowBytes} * 770 + 64, 0xEE);
    EXPECT_EQ(cam.PullImage(out.data(), 8, rowBytes - 1, nullptr), E_OUTOFMEMORY);
    LumorixFrameInfo info{};
    ASSERT_TRUE(waitFor(
        [&] { return cam.PullImage(out.data(), 8, 0, &info) == S_OK && info.sequence > 3; }));
    cam.stop();
    uint32_t stamp = 0;
    std::memcpy(&stamp, out.data(), 4);
    EXPECT_EQ(stamp, info.sequence);
    EXPECT_EQ(out[size_t{rowBytes} * 770], 0xEE);  // nothing past the image
  }
}

// A snap is pulled as a still, once, with its info and pixels; a popped frame the host frees is
// its own: the entry is cleared and the stop frees nothing twice.
TEST(StreamDelivery, PullStillImageTakesTheSnapOnceAndAFreedFrameIsGone) {
  FakeModel cam;
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  std::vector<uint8_t> out(1024 * 770 * 4 + 64), still(out.size());
  LumorixFrameInfo info{}, peek{};
  EXPECT_EQ(cam.PullStillImage(nullptr, 24, 0, &peek), E_FAIL);  // none yet
  ASSERT_EQ(cam.Snap(0, 1, 7), S_OK);
  ASSERT_TRUE(waitFor([&] {
    cam.PullImage(out.data(), 24, 0, &info);  // a full preview queue would hold the snap back
    return log.count(5) == 1;
  }));
  ASSERT_EQ(cam.PullStillImage(nullptr, 24, 0, &peek), S_OK);
  ASSERT_EQ(cam.PullStillImage(still.data(), 24, 0, &info), S_OK);
  EXPECT_EQ(info.sequence, peek.sequence);
  EXPECT_EQ(info.width, 1024u);
  uint32_t stamp = 0;
  std::memcpy(&stamp, still.data(), 4);
  EXPECT_EQ(stamp, info.sequence);
  EXPECT_EQ(cam.PullStillImage(still.data(), 24, 0, &info), E_FAIL);

  LumorixFrameEntry entry{};
  ASSERT_TRUE(waitFor([&] { return cam.PopFrame(&entry) == S_OK && entry.data != nullptr; }));
  EXPECT_EQ(cam.FreeFrame(&entry), S_OK);
  EXPECT_EQ(entry.data, nullptr);
  EXPECT_EQ(cam.FreeFrame(nullptr), S_OK);
  cam.stop();
}

// A frame-rate limit sends the frames it drops to the raw-data callback alone; the bypass lets
// every frame through.
TEST(StreamDelivery, FrameRateLimitLeavesDroppedFramesToTheRawCallbackUnlessBypassed) {
  struct Counts {
    std::atomic<int> data{0}, raw{0};
    static void onData(const uint8_t* d, const LumorixFrameHeader*, int32_t, void* c) {
      if (d) ++static_cast<Counts*>(c)->data;
    }
    static void onRaw(const uint8_t*, const SensorRect*, uint8_t, void* c) {
      ++static_cast<Counts*>(c)->raw;
    }
  };
  for (const bool bypass : {false, true}) {
    FakeModel cam;
    Counts counts;
    ASSERT_EQ(cam.put_Option(LUMORIX_OPTION_FRAMERATE, 1), S_OK);  // one frame a second
    ASSERT_EQ(cam.put_FrameRateEnable(bypass ? 1 : 0), S_OK);
    ASSERT_EQ(cam.put_RawDataCallback(Counts::onRaw, &counts), S_OK);
    ASSERT_EQ(cam.start(Counts::onData, nullptr, nullptr, nullptr, &counts), S_OK);
    ASSERT_TRUE(waitFor([&] { return counts.raw.load() >= 30; })) << bypass;
    cam.stop();
    if (bypass)
      EXPECT_GE(counts.data.load() + 1, counts.raw.load());  // each frame: raw, then data
    else
      EXPECT_LE(counts.data.load(), 2);
  }
}

TEST(StreamDelivery, InStreamSnapRaisesFiveAndARestartReturnsItsEntry) {
  FakeModel cam;
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  // Preview frames are pulled meanwhile: a full pull queue would hold the snap back.
  std::vector<uint8_t> out(1024 * 770 * 4 + 64);
  LumorixFrameInfo info{};
  const auto snapsSeen = [&](size_t n) {
    return waitFor([&] {
      cam.PullImage(out.data(), 24, 0, &info);
      return log.count(5) == n;
    });
  };
  ASSERT_EQ(cam.Snap(0, 1, 7), S_OK);  // the preview index: taken from the stream
  ASSERT_TRUE(snapsSeen(1));
  LumorixFrameEntry entry{};
  ASSERT_EQ(cam.PopStillFrame(&entry), S_OK);
  EXPECT_NE(entry.data, nullptr);
  cam.ReturnFrame(&entry);
  ASSERT_EQ(cam.Snap(0, 1, 8), S_OK);
  ASSERT_TRUE(snapsSeen(2));
  // A restart returns the unpopped snap's entry with the filled ones: three frames follow
  // without a single pop.
  const size_t before = log.count(4);
  ASSERT_EQ(cam.RestartStream(false, false, [] {}), S_OK);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= before + 3; }));
  cam.stop();
}

// A turned image is as tall as the frame is wide: the header says so, and the scratch buffer
// holds the turned image's padded rows (the fake conversion writes every byte of them). Raw
// frames of a grey camera are deeper than its output rows: the scratch buffer holds them too,
// also after a switch to the deepest format the camera announced; frames of a format deeper
// than that are dropped rather than written past the buffer.
TEST(StreamDelivery, DataCallbacksGetTheTurnedImagesHeader) {
  struct RawCount {
    std::atomic<int> calls{0};
    static void onRaw(const uint8_t*, const SensorRect*, uint8_t, void* context) {
      ++static_cast<RawCount*>(context)->calls;
    }
  };
  const struct {
    bool turned, stillBuffer;
    uint8_t binning;
    int32_t w, h;
    uint32_t imageSize;
    bool raw = false;
    uint32_t outputMode = kOutputRgb8, rawBytes = 1, deepestRawBytes = 1;
    uint16_t bits = 24;
    uint32_t switchTo = 0;  // raw bytes per pixel after the first frame; 0: no switch
    bool switchedDelivered = false;
  } table[] = {{false, false, 1, 1024, 770, 3072 * 770},
               {true, false, 1, 770, 1024, 2312 * 1024},
               {true, true, 1, 770, 1024, 2312 * 1024},
               {true, false, 3, 256, 340, 768 * 340},
               {true, true, 0x82, 384, 512, 1152 * 512},
               {false, false, 1, 1024, 770, 2 * 1024 * 770, true, kOutputGrey8, 2, 1, 8},
               {true, true, 1, 770, 1024, 1024 * 770, true, kOutputGrey8, 1, 2, 8, 2, true},
               {false, true, 1, 1024, 770, 3 * 1024 * 770, true, kOutputGrey16, 3, 1, 8},
               {false, false, 1, 1024, 770, 1024 * 770, true, kOutputGrey8, 1, 1, 8, 2, false}};
  for (const auto& row : table) {
    FakeModel cam;
    RawCount raw;
    ASSERT_EQ(cam.put_RawDataCallback(RawCount::onRaw, &raw), S_OK);
    cam.rotated = row.turned;
    cam.usb().binning = row.binning;
    cam.setRawOption(row.raw);
    cam.outputMode = row.outputMode;
    cam.rawBytes = row.rawBytes;
    cam.deepestRawBytes = row.deepestRawBytes;
    HeaderLog log;
    ASSERT_EQ(row.stillBuffer ? cam.start(nullptr, nullptr, HeaderLog::onStillBuffer, nullptr, &log)
                              : cam.start(HeaderLog::onData, nullptr, nullptr, nullptr, &log),
              S_OK);
    LumorixFrameHeader header{};
    ASSERT_TRUE(log.first(header));
    if (row.switchTo != 0) {  // a switch keeps the buffer; each frame reaches the raw callback
      cam.rawBytes = row.switchTo;
      const int before = raw.calls.load();
      ASSERT_TRUE(waitFor([&] { return raw.calls.load() >= before + 3; }));
    }
    cam.stop();
    const std::string name = std::to_string(row.turned) + std::to_string(row.stillBuffer) + " by " +
                             std::to_string(row.binning) + (row.raw ? " raw" : "");
    EXPECT_EQ(header.width, row.w) << name;
    EXPECT_EQ(header.height, row.h) << name;
    EXPECT_EQ(header.bitCount, row.bits) << name;
    EXPECT_EQ(header.imageSize, row.imageSize) << name;
    if (row.switchTo == 0) continue;
    const uint32_t switched = row.switchTo * 1024 * 770;
    EXPECT_EQ(std::any_of(log.headers.begin(), log.headers.end(),
                          [&](const LumorixFrameHeader& h) { return h.imageSize == switched; }),
              row.switchedDelivered)
        << name;
  }
}

// The raw-data callback sees each frame's region as the delivered image counts its rows: from the
// top, or from the bottom of the preview for a bottom-up image; no region, no rectangle. The
// samples are the region's own down to its last row, cropped out of the frame and binned (the fake
// fills each row of the region with its number): a region of the full width below the top row
// too, and in the frames a rate limit drops, which reach the raw callback alone after the same
// quick demosaic.
TEST(StreamDelivery, RawDataCallbackGetsTheRegionAsTheImageCountsRows) {
  struct RawLog {
    const FakeModel* cam = nullptr;
    uint32_t factor = 1;  // the binning
    std::mutex lock;
    int calls = 0;
    bool hadRegion = false;
    SensorRect region{};
    // The marks the region's second and last rows begin with, while every call agrees.
    int secondRow = -1, lastRow = -1;
    uint32_t quick = 0;
    bool everyCallQuick = true;  // a quick demosaic came before each call
    // Binning keeps whole pairs of bins: a partial one at the end is left out.
    uint32_t binned(uint32_t n) const { return factor > 1 ? (n / factor) & ~1u : n; }
    static void onRaw(const uint8_t* data, const SensorRect* roi, uint8_t, void* context) {
      auto& log = *static_cast<RawLog*>(context);
      std::lock_guard<std::mutex> hold(log.lock);
      if (data == nullptr) return;
      const uint32_t w = roi ? log.binned(roi->right - roi->left) : 0;
      const int mark = roi ? data[w] : -1;
      const int last = roi ? data[size_t{w} * (log.binned(roi->bottom - roi->top) - 1)] : -1;
      if (log.cam->quickDemosaics.load() == log.quick) log.everyCallQuick = false;
      log.quick = log.cam->quickDemosaics.load();
      if (log.calls++ == 0) {
        log.hadRegion = roi != nullptr;
        if (roi) log.region = *roi;
        log.secondRow = mark;
        log.lastRow = last;
      }
      if (mark != log.secondRow) log.secondRow = -2;
      if (last != log.lastRow) log.lastRow = -2;
    }
  };
  const SensorRect none{}, band{8, 4, 72, 36}, wide{0, 100, 1024, 300}, foot{8, 738, 72, 770},
      below{0, 1, 1024, 41}, odd{8, 4, 72, 39};
  const struct {
    SensorRect recorded;
    bool bottomUp;
    SensorRect seen;      // empty: no rectangle
    uint8_t binning = 1;  // averaged: an odd binned row's mark is the top's plus its factor rows
  } table[] = {{none, false, none},       {none, true, none},
               {band, false, band},       {band, true, {8, 770 - 36, 72, 770 - 4}},
               {wide, false, wide},       {wide, true, {0, 770 - 300, 1024, 770 - 100}},
               {foot, false, foot},       {foot, true, {8, 0, 72, 32}},
               {below, false, below},     {below, true, {0, 770 - 41, 1024, 770 - 1}},
               {band, false, band, 0x82}, {wide, true, {0, 770 - 300, 1024, 770 - 100}, 0x83},
               {odd, false, odd},         {odd, false, odd, 0x83}};
  for (const auto& row : table) {
    for (const bool limited : {false, true}) {
      FakeModel cam;
      cam.bottomUp = row.bottomUp;
      cam.setRecordRegion(row.recorded);
      cam.usb().binning = row.binning;
      RawLog log;
      log.cam = &cam;
      log.factor = row.binning & 0x7Fu;
      ASSERT_EQ(cam.put_RawDataCallback(RawLog::onRaw, &log), S_OK);
      if (limited) {  // one frame a second: most go to the raw callback alone
        ASSERT_EQ(cam.put_Option(LUMORIX_OPTION_FRAMERATE, 1), S_OK);
      }
      ASSERT_EQ(cam.start(ignoreData), S_OK);
      ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> hold(log.lock);
        return log.calls > (limited ? 3 : 0);
      }));
      cam.stop();
      const std::string name =
          std::to_string(row.recorded.left) + "," + std::to_string(row.recorded.top) + " to " +
          std::to_string(row.recorded.right) + "," + std::to_string(row.recorded.bottom) +
          (row.bottomUp ? " up" : " down") + " by " + std::to_string(log.factor) +
          (limited ? ", rate-limited" : "");
      EXPECT_TRUE(log.everyCallQuick) << name << ": a frame skipped the quick demosaic";
      const bool expectRegion = row.seen.right != 0;
      EXPECT_EQ(log.hadRegion, expectRegion) << name;
      if (!expectRegion) continue;
      EXPECT_EQ(log.region.left, row.seen.left) << name;
      EXPECT_EQ(log.region.top, row.seen.top) << name;
      EXPECT_EQ(log.region.right, row.seen.right) << name;
      EXPECT_EQ(log.region.bottom, row.seen.bottom) << name;
      EXPECT_EQ(log.secondRow, int(row.recorded.top + log.factor) & 0xFF)
          << name << ": not cropped or binned";
      const uint32_t lastBin = log.binned(row.recorded.bottom - row.recorded.top) - 1;
      EXPECT_EQ(log.lastRow, int(row.recorded.top + lastBin * log.factor) & 0xFF)
          << name << ": the last row not cropped or binned";
    }
  }
}

// A frame the rate limit drops is shaped for the raw callback alone: with none set it goes back
// as grabbed, sparing the time the limit is there to save (the fake sees what came back changed).
TEST(StreamDelivery, AFrameTheRateLimitDropsIsShapedOnlyForTheRawCallback) {
  struct Counts {
    std::atomic<uint32_t> delivered{0}, raw{0};
    static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t, void* context) {
      ++static_cast<Counts*>(context)->delivered;
    }
    static void onRaw(const uint8_t*, const SensorRect*, uint8_t, void* context) {
      ++static_cast<Counts*>(context)->raw;
    }
  };
  for (const bool rawCallback : {false, true}) {
    FakeModel cam;
    cam.setRecordRegion(SensorRect{8, 4, 72, 36});
    cam.usb().binning = 0x82;
    Counts counts;
    if (rawCallback) {
      ASSERT_EQ(cam.put_RawDataCallback(Counts::onRaw, &counts), S_OK);
    }
    ASSERT_EQ(cam.put_Option(LUMORIX_OPTION_FRAMERATE, 1), S_OK);
    ASSERT_EQ(cam.start(Counts::onData, nullptr, nullptr, nullptr, &counts), S_OK);
    ASSERT_TRUE(waitFor([&] { return cam.grabs.load() > 30 && counts.delivered.load() > 0; }));
    cam.stop();
    const uint32_t reshaped = cam.reshapedFrames.load(), delivered = counts.delivered.load();
    if (rawCallback)
      EXPECT_GT(reshaped, delivered) << "the dropped frames were not shaped for the raw callback";
    else
      EXPECT_LE(reshaped, delivered) << "dropped frames were shaped for no raw callback";
  }
}

struct StillLog {
  std::atomic<int> stills{0};
  std::function<void()> afterFirst;  // runs before the first still's buffer goes back
  std::mutex lock;
  std::vector<const uint8_t*> buffers;  // each buffer a still came in, once
  void take(const uint8_t* data, const LumorixFrameHeader* header, int32_t snap) {
    if (!data || !header || snap != 1) return;
    {
      std::lock_guard<std::mutex> hold(lock);
      if (std::find(buffers.begin(), buffers.end(), data) == buffers.end()) buffers.push_back(data);
    }
    if (++stills == 1 && afterFirst) afterFirst();
  }
  static void onStill(const uint8_t* data, const LumorixFrameHeader* header, int32_t snap,
                      const uint8_t*, uint32_t, const LumorixFrameInfo*, uint8_t, uint32_t,
                      uint32_t, void* context) {
    static_cast<StillLog*>(context)->take(data, header, snap);
  }
  static void onData(const uint8_t* data, const LumorixFrameHeader* header, int32_t snap,
                     void* context) {
    static_cast<StillLog*>(context)->take(data, header, snap);
  }
};

// Index 1 is the largest preview size. Raw stills come from the pool of a grey 8-bit camera,
// whose RGB rows are narrower than the raw samples; the fake writes every raw byte, so a short
// pool buffer shows under the address checker. Every still, through either callback or the still
// queue and over several snaps, reuses the one pool buffer, across a format switch too: a still
// that kept its buffer would make the pool grow by a full-size buffer a snap.
TEST(StreamStill, StillGrabberAtAnotherIndexTakesCountStillsAndSwitchesOnce) {
  const struct {
    int32_t count;
    bool raw;
    uint32_t outputMode, rawBytes, deepestRawBytes, rawBytesAfterFirst;
    int32_t snaps = 1;
    bool dataCallback = false;
    bool queued = false;  // to the still queue, popped and given back
  } table[] = {{1, false, kOutputRgb8, 1, 1, 1},
               {3, false, kOutputRgb8, 1, 1, 1},
               {1, true, kOutputGrey8, 2, 2, 2},
               {3, true, kOutputGrey8, 1, 2, 2},
               {2, true, kOutputGrey16, 3, 3, 3},
               {1, false, kOutputRgb8, 1, 1, 1, 3, true},  // snapped three times, streaming
               {1, false, kOutputRgb8, 1, 1, 1, 3, false, true}};
  for (const auto& row : table) {
    const int32_t count = row.count;
    SCOPED_TRACE(std::to_string(row.snaps) + " x " + std::to_string(count) +
                 (row.raw ? " raw at " : " at ") + std::to_string(row.rawBytes) +
                 (row.dataCallback ? " to the data callback" : "") + (row.queued ? " queued" : ""));
    FakeModel cam;
    cam.setRawOption(row.raw);
    cam.outputMode = row.outputMode;
    cam.rawBytes = row.rawBytes;
    cam.deepestRawBytes = row.deepestRawBytes;
    // No preview frames: the stills alone fill buffers, and none fills the pull queue.
    if (row.raw || row.queued) cam.idleResult = 0;
    StillLog stills;
    stills.afterFirst = [&cam, &row] { cam.rawBytes = row.rawBytesAfterFirst; };
    EventLog log;
    ASSERT_EQ(row.queued         ? startWithSink(cam, log)
              : row.dataCallback ? cam.start(StillLog::onData, nullptr, nullptr, nullptr, &stills)
                                 : cam.start(nullptr, nullptr, StillLog::onStill, nullptr, &stills),
              S_OK);
    const LumorixFrameHeader header{};
    const auto popStill = [&] {
      LumorixFrameEntry entry{};
      cam.PopStillFrame(&entry);
      stills.take(entry.data, &header, 1);
      cam.ReturnFrame(&entry);
    };
    std::vector<std::string> want;
    for (int32_t snap = 1; snap <= row.snaps; ++snap) {
      ASSERT_EQ(cam.Snap(1, count, reinterpret_cast<uint64_t>(&stills)),
                S_OK);  // the still's context
      ASSERT_TRUE(waitFor([&] {
        if (row.queued) popStill();
        return stills.stills.load() == snap * count;
      })) << snap;
      want.push_back("SetResolution 1 still");
      for (int32_t i = 0; i < count; ++i) want.push_back("grabStill 1");
      want.push_back("SetResolution 0 preview");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cam.stop();
    EXPECT_EQ(stills.stills.load(), row.snaps * count);
    EXPECT_EQ(stills.buffers.size(), 1u) << "stills in new buffers: the pool grew";
    std::vector<std::string> seen;
    for (const std::string& c : cam.calls())
      if (c.rfind("SetResolution", 0) == 0 || c.rfind("grabStill", 0) == 0) seen.push_back(c);
    EXPECT_EQ(seen, want) << count;
  }
}

TEST(StreamStill, SnapAndTriggerRefusals) {
  FakeModel cam(FakeModelConfig{LUMORIX_FLAG_TRIGGER_SINGLE});
  EXPECT_EQ(cam.Snap(0, 1, 0), E_UNEXPECTED);  // not started
  EXPECT_EQ(cam.trigger(1), E_UNEXPECTED);
  ASSERT_EQ(cam.start(), S_OK);
  EXPECT_EQ(cam.Snap(0, 1, 0), E_UNEXPECTED);  // nobody would serve it
  cam.stop();
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  EXPECT_EQ(cam.Snap(0, 0, 0), E_INVALIDARG);
  EXPECT_EQ(cam.Snap(1, -1, 0), E_INVALIDARG);  // not four thousand million stills
  EXPECT_EQ(cam.Snap(0, INT32_MIN, 0), E_INVALIDARG);
  EXPECT_EQ(cam.Snap(2, 1, 0), E_INVALIDARG);
  EXPECT_EQ(cam.trigger(1), E_UNEXPECTED);  // video mode
  cam.stop();
  cam.usb().triggerMode = 1;  // the transport's mode is set while stopped
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  EXPECT_EQ(cam.Snap(0, 1, 0), E_UNEXPECTED);
  EXPECT_EQ(cam.trigger(2), E_INVALIDARG);  // a single-trigger model
  EXPECT_EQ(cam.trigger(1), S_OK);
  cam.stop();
}

struct NullFrames {
  std::atomic<int> nulls{0};
  std::atomic<int> frames{0};
  static void onData(const uint8_t* data, const LumorixFrameInfo*, int32_t, void* context) {
    ++(data ? static_cast<NullFrames*>(context)->frames : static_cast<NullFrames*>(context)->nulls);
  }
};

TEST(StreamDelivery, EndOfStreamGivesNullFramesThenItsEventOnce) {
  const std::pair<int32_t, uint32_t> table[] = {{-5, 130}, {-3, 129}, {-1, 128}};
  for (auto [status, event] : table) {
    FakeModel cam;
    EventLog log;
    NullFrames data;
    cam.script({GrabStep{}, GrabStep{GrabStep::Result, status}});
    ASSERT_EQ(
        cam.start(nullptr, NullFrames::onData, nullptr, nullptr, &data, EventLog::record, &log),
        S_OK);
    ASSERT_TRUE(waitFor([&] { return log.count(event) == 1; })) << status;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(data.nulls.load(), 1) << status;
    EXPECT_EQ(log.count(event), 1u) << status;
    cam.stop();
  }
}

TEST(StreamEvents, DirectSinkRunsOnAStreamThread) {
  FakeModel cam;
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log), S_OK);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 2; }));
  cam.stop();
  std::lock_guard<std::mutex> guard(log.lock);
  EXPECT_NE(log.threads.front(), std::this_thread::get_id());
}

// A colour/grey switch is told to the sink and the colour/grey callback once per call, on the
// host's thread, once a start has wired the notice: streaming, or stopped to the last run's sink;
// before any start nothing is told; a grey model refuses first.
TEST(StreamEvents, GreySwitchIsAnnouncedOnceAStartWiredIt) {
  enum Run { Never, Stopped, Streaming };
  const struct {
    const char* name;
    uint64_t flags;
    Run run;
    HRESULT put;
    size_t events;
  } rows[] = {
      {"streaming", 0, Streaming, S_OK, 2},
      {"stopped after a run", 0, Stopped, S_OK, 2},
      {"before any start", 0, Never, S_OK, 0},
      {"grey model", LUMORIX_FLAG_MONO, Streaming, E_NOTIMPL, 0},
  };
  for (const auto& row : rows) {
    FakeModel cam(FakeModelConfig{.flags = row.flags, .withState = true});
    EventLog log;
    std::atomic<int> calls{0};
    if (row.run != Never) {
      ASSERT_EQ(startWithSink(cam, log), S_OK) << row.name;
    }
    if (row.run == Stopped) {
      ASSERT_EQ(cam.stop(), S_OK) << row.name;
    }
    ASSERT_EQ(cam.put_ChromeCallback([](void* x) { ++*static_cast<std::atomic<int>*>(x); }, &calls),
              S_OK);
    EXPECT_EQ(cam.put_Chrome(1), row.put) << row.name;
    EXPECT_EQ(cam.put_Chrome(0), row.put) << row.name;
    EXPECT_EQ(log.count(kEventChrome), row.events) << row.name;
    EXPECT_EQ(static_cast<size_t>(calls.load()), row.events) << row.name;
    cam.stop();
  }
}

TEST(StreamEvents, ThreadedSinkKeepsTheOrderOnItsOwnThread) {
  FakeModel cam;
  cam.setCallbackThreadOption(true);
  EventLog log;
  ASSERT_EQ(startWithSink(cam, log, 1), S_OK);
  cam.OnExposureChanged();  // 1
  cam.OnWhiteBalanceDone(6500, 1000);
  cam.OnChromeChanged();
  cam.OnBlackBalanceDone(0);  // 8
  cam.OnFfcDone();
  cam.OnDfcDone();
  ASSERT_TRUE(waitFor([&] { return log.count(10) == 1; }));
  cam.stop();
  std::lock_guard<std::mutex> guard(log.lock);
  EXPECT_EQ(log.codes, (std::vector<uint32_t>{1, 2, 3, 8, 9, 10}));
  for (const auto& id : log.threads) {
    EXPECT_EQ(id, log.threads.front());
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

// Pulls from inside the frame event, the way a host's sink may.
struct PullingSink {
  enum Pull { Pop, Image, Flush };
  FakeModel* cam = nullptr;
  Pull pull = Pop;
  std::atomic<int> pulled{0};
  std::vector<uint8_t> out = std::vector<uint8_t>(pinBytes(1024, 770));
  static void onEvent(uint32_t code, void* context) {
    auto* self = static_cast<PullingSink*>(context);
    if (code == 4 && self->pullOne()) ++self->pulled;
  }
  bool pullOne() {
    LumorixFrameEntry entry{};
    switch (pull) {
      case Pop:
        return cam->PopFrame(&entry) == S_OK && entry.data && cam->ReturnFrame(&entry) == S_OK;
      case Image:
        return cam->PullImage(out.data(), 24, 0, nullptr) == S_OK;
      case Flush:
        return cam->Flush() == S_OK;
    }
    return false;
  }
};

// The frame event goes out with no lock of the camera's held, so the sink's pulls return and
// free room for more frames than the queue holds. A deadlock leaves the camera behind, so the
// suite reports it instead of hanging in the camera's stop.
TEST(StreamEvents, SinkPullsFromInsideItsFrameEvent) {
  for (const auto pull : {PullingSink::Pop, PullingSink::Image, PullingSink::Flush}) {
    auto sink = std::make_unique<PullingSink>();
    auto cam = std::make_unique<FakeModel>();
    sink->cam = cam.get();
    sink->pull = pull;
    ASSERT_EQ(
        cam->start(nullptr, nullptr, nullptr, nullptr, nullptr, PullingSink::onEvent, sink.get()),
        S_OK);
    if (!waitFor([&] { return sink->pulled.load() >= 5; })) {
      (void)cam.release();
      (void)sink.release();
      FAIL() << "pull " << pull << " never returned from inside the event";
    }
    cam->stop();
  }
}

struct Posted {
  static inline std::mutex lock;
  static inline std::vector<std::pair<uint32_t, uintptr_t>> messages;
  static int post(void* window, uint32_t message, uintptr_t wparam, intptr_t) {
    std::lock_guard<std::mutex> guard(lock);
    if (window == reinterpret_cast<void*>(0x1234)) messages.emplace_back(message, wparam);
    return 1;
  }
};

// A window alone hears the run's events as messages; beside an event callback the callback wins,
// for the stream's events and for those of the camera once stopped, and the window gets nothing.
TEST(StreamEvents, WindowSinkPostsTheCodeAsWParam) {
  for (const bool withCallback : {false, true}) {
    SCOPED_TRACE(withCallback ? "beside an event callback" : "the window alone");
    {
      std::lock_guard<std::mutex> guard(Posted::lock);
      Posted::messages.clear();  // a repeated run starts empty
    }
    EventSink::SetWindowPoster(Posted::post);
    FakeModel cam;
    EventLog log;
    ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr,
                        withCallback ? EventLog::record : nullptr, &log,
                        reinterpret_cast<void*>(0x1234), 0x8001, 1),
              S_OK);
    cam.OnExposureChanged();
    cam.stop();
    cam.FactoryResetNotify();
    EventSink::SetWindowPoster(nullptr);
    std::lock_guard<std::mutex> guard(Posted::lock);
    if (withCallback) {
      EXPECT_TRUE(Posted::messages.empty());
      EXPECT_EQ(log.count(kEventExposure), 1u);
      EXPECT_EQ(log.count(kEventFactoryReset), 1u);
      continue;
    }
    ASSERT_EQ(Posted::messages.size(), 2u);
    EXPECT_EQ(Posted::messages[0], (std::pair<uint32_t, uintptr_t>{0x8001, kEventExposure}));
    EXPECT_EQ(Posted::messages[1], (std::pair<uint32_t, uintptr_t>{0x8001, kEventFactoryReset}));
  }
}

}  // namespace
