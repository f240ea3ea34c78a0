// What the module's graph tests share: offered and connected formats, the chart's patches.
#include "tests/dshow/filter/module_graph.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "dshow/base/mediatypes.h"

namespace {

// Each offered media type of the pin of category, until visit returns false.
template <class Visit>
void EachOffered(CaptureGraph& g, const GUID& category, Visit visit) {
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(g.builder->FindInterface(&category, &MEDIATYPE_Video, g.source.get(),
                                     IID_IAMStreamConfig, config.outVoid()),
            S_OK);
  int count = 0;
  int size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  ASSERT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps = {};
    ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
    const bool more = visit(config.get(), mt);
    DeleteMediaType(mt);
    if (!more) return;
  }
}

const BITMAPINFOHEADER& HeaderOf(const AM_MEDIA_TYPE* mt) {
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
}

}  // namespace

HRESULT RunGraph(CaptureGraph& g) {
  HRESULT hr = E_FAIL;
  Within(kStartMs, "IMediaControl::Run", [&] { hr = g.control->Run(); });
  return hr;
}

HRESULT StopGraph(CaptureGraph& g) {
  HRESULT hr = E_FAIL;
  Within(kStopMs, "IMediaControl::Stop", [&] { hr = g.control->Stop(); });
  return hr;
}

void FindOutputPin(CaptureGraph& g, const GUID& category, ComPtr<IPin>* pin) {
  ASSERT_EQ(
      g.builder->FindPin(g.source.get(), PINDIR_OUTPUT, &category, nullptr, FALSE, 0, pin->out()),
      S_OK);
}

void OfferedSizes(CaptureGraph& g, const GUID& category, std::vector<Format>* sizes) {
  EachOffered(g, category, [&](IAMStreamConfig*, AM_MEDIA_TYPE* mt) {
    const BITMAPINFOHEADER& bmi = HeaderOf(mt);
    sizes->push_back({bmi.biWidth, bmi.biHeight, bmi.biSizeImage});
    return true;
  });
}

void ChooseSize(CaptureGraph& g, LONG width, LONG height, const GUID& category) {
  bool found = false;
  HRESULT chosen = S_OK;
  EachOffered(g, category, [&](IAMStreamConfig* config, AM_MEDIA_TYPE* mt) {
    found = HeaderOf(mt).biWidth == width && HeaderOf(mt).biHeight == height;
    if (found) chosen = config->SetFormat(mt);
    return !found;
  });
  ASSERT_TRUE(found) << width << "x" << height << " is not offered";
  ASSERT_EQ(chosen, S_OK);
}

void ReadConnectedFormat(ISampleGrabber* grabber, Format* format) {
  AM_MEDIA_TYPE mt = {};
  ASSERT_EQ(grabber->GetConnectedMediaType(&mt), S_OK);
  ASSERT_EQ(mt.formattype, FORMAT_VideoInfo);
  ASSERT_GE(mt.cbFormat, sizeof(VIDEOINFOHEADER));
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
  *format = {vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, vih->bmiHeader.biSizeImage};
  EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB24);
  CoTaskMemFree(mt.pbFormat);
  if (mt.pUnk) mt.pUnk->Release();
}

// The mean of a 16 x 16 square at the centre of a patch of a bottom-up BGR frame.
Colour PatchMean(const std::vector<uint8_t>& frame, const Format& format, const Patch& patch) {
  const LONG stride = (format.width * 3 + 3) & ~3;
  const LONG cx = (2 * patch.column + 1) * format.width / 8;
  const LONG cy = (2 * patch.row + 1) * format.height / 4;  // from the top
  Colour sum = {};
  for (LONG y = cy - 8; y < cy + 8; ++y) {
    const uint8_t* row = frame.data() + size_t(format.height - 1 - y) * stride;
    for (LONG x = cx - 8; x < cx + 8; ++x) {
      sum.blue += row[3 * x];
      sum.green += row[3 * x + 1];
      sum.red += row[3 * x + 2];
    }
  }
  return {sum.red / 256, sum.green / 256, sum.blue / 256};
}

void ExpectPatch(const Patch& patch, const Colour& c) {
  SCOPED_TRACE(testing::Message() << patch.name << " measured r " << c.red << " g " << c.green
                                  << " b " << c.blue);
  const double channels[] = {c.red, c.green, c.blue};
  const bool lit[] = {patch.red, patch.green, patch.blue};
  double dimmestLit = 255;
  double brightestUnlit = 0;
  for (int i = 0; i < 3; ++i) {
    if (lit[i]) dimmestLit = std::min(dimmestLit, channels[i]);
    if (!lit[i]) brightestUnlit = std::max(brightestUnlit, channels[i]);
  }
  EXPECT_GT(dimmestLit, 24.0) << "too dark to judge";
  if (patch.red && patch.green && patch.blue) {
    const double brightest = std::max({c.red, c.green, c.blue});
    EXPECT_LE(brightest - dimmestLit, 0.1 * brightest) << "not neutral";
  } else {
    EXPECT_GT(dimmestLit, 1.5 * brightestUnlit) << "wrong dominant channels";
  }
}
