// put_Option and get_Option: one constexpr row per code, looked up and dispatched.
#include <algorithm>
#include <array>

#include "core/base_impl.h"
#include "core/option_device.h"
#include "core/option_pipeline.h"
#include "core/option_restart.h"
#include "core/option_stream.h"
#include "core/option_table.h"

namespace {

using K = OptionKind;
constexpr OptionPut kNoPut = nullptr;
constexpr OptionGet kNoGet = nullptr;

// Adding a code is one line here and its handlers in the file of their concern.
constexpr std::array kRows{
    OptionRow{LUMORIX_OPTION_NOFRAME_TIMEOUT, putNoFrameTimeoutOption, getNoFrameTimeoutOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_THREAD_PRIORITY, putThreadPriorityOption, getThreadPriorityOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_MODEL_HOOK, putModelHookOption, getModelHookOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_RAW, putRawOption, getRawOption, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_HISTOGRAM, putHistogramOption, getHistogramOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_BITDEPTH, putBitDepthOption, getBitDepthOption, K::Restart},
    OptionRow{LUMORIX_OPTION_FAN, putFanOption, getFanOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_TEC, putTecOption, getTecOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_RAW_LUT, putRawLutOption, getRawLutOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_CURVE, putCurveOption, getCurveOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_TRIGGER, putTriggerOption, getTriggerOption, K::Restart},
    OptionRow{LUMORIX_OPTION_RGB, putOutputLayoutOption, getOutputLayoutOption, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_COLORMATRIX, putColorMatrixOption, getColorMatrixOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_WBGAIN, putWbGainOption, getWbGainOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_TECTARGET, putTecTargetOption, getTecTargetOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_AUTOEXP_POLICY, putAePolicyOption, getAePolicyOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_FRAMERATE, putFrameRateOption, getFrameRateOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC, putDemosaicOption, getDemosaicOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC_VIDEO, putDemosaicVideoOption, getDemosaicVideoOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC_STILL, putDemosaicStillOption, getDemosaicStillOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_BLACKLEVEL, putBlackLevelOption, getBlackLevelOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_PIPELINE_THREADS, putPipelineThreadsOption, getPipelineThreadsOption,
              K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_BINNING, putBinningOption, getBinningOption, K::Restart},
    OptionRow{LUMORIX_OPTION_ROTATE, putRotateOption, getRotateOption, K::Restart},
    OptionRow{LUMORIX_OPTION_CG, putCgOption, getCgOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_PIXEL_FORMAT, putPixelFormatOption, getPixelFormatOption, K::Restart},
    OptionRow{LUMORIX_OPTION_FFC, putFfcOption, getFfcOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_DDR_MODE, putDdrModeOption, getDdrModeOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_DFC, putDfcOption, getDfcOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_USM, putUsmOption, getUsmOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_FACTORY, putFactoryOption, getFactoryOption, K::Restart},
    OptionRow{LUMORIX_OPTION_TEC_READING, putNotImplementedOption, getTecReadingOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_TEC_INFO, putNotImplementedOption, getTecInfoOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEVICE_RESET, putDeviceResetOption, kNoGet, K::Immediate},
    OptionRow{LUMORIX_OPTION_UPSIDE_DOWN, putUpsideDownOption, getUpsideDownOption, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_FOCUS_POS, putFocusPosOption, getFocusPosOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_FOCUS_CMD, putFocusCmdOption, getFocusCmdOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_CUSB38, putDevice38Option, getDevice38Option, K::Immediate},
    OptionRow{LUMORIX_OPTION_CUSB39, putNotImplementedOption, getDevice39Option, K::Immediate},
    OptionRow{LUMORIX_OPTION_EXTRA, putExtraOption, getNotImplementedOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_AUTOEXP_THRESHOLD, putAeThresholdOption, getAeThresholdOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_BYTEORDER, putByteOrderOption, getByteOrderOption, K::Restart},
    OptionRow{LUMORIX_OPTION_NOPACKET_TIMEOUT, putNoPacketTimeoutOption, getNoPacketTimeoutOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE_MAX, kNoPut, getPreciseFrameRateMaxOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE, putPreciseFrameRateOption,
              getPreciseFrameRateOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_BANDWIDTH, putBandwidthOption, getBandwidthOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_RELOAD, putReloadOption, getReloadOption, K::Immediate},
    OptionRow{LUMORIX_OPTION_CALLBACK_THREAD, putCallbackThreadOption, getCallbackThreadOption,
              K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_FRAME_DEQUE_LENGTH, putFrameDequeLengthOption,
              getFrameDequeLengthOption, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE_MIN, kNoPut, getPreciseFrameRateMinOption,
              K::Immediate},
    OptionRow{LUMORIX_OPTION_BLACKLEVEL_RAW, putBlackLevelRawOption, getBlackLevelRawOption,
              K::Immediate},
};

constexpr bool rowsAscend() {
  for (size_t i = 1; i < kRows.size(); ++i)
    if (kRows[i - 1].code >= kRows[i].code) return false;
  return true;
}
static_assert(rowsAscend(), "the lookup is a binary search over ascending codes");
static_assert(kRows.size() == 51);

}  // namespace

std::span<const OptionRow> optionRows() {
  return kRows;
}

const OptionRow* findOptionRow(uint32_t code) {
  const auto it = std::lower_bound(kRows.begin(), kRows.end(), code,
                                   [](const OptionRow& row, uint32_t c) { return row.code < c; });
  return it != kRows.end() && it->code == code ? &*it : nullptr;
}

HRESULT BaseImpl::put_Option(uint32_t code, int32_t value) {
  const OptionRow* row = findOptionRow(code);
  if (!row || !row->put) return E_INVALIDARG;
  return row->put(*this, value);
}

// The reload code answers whether reloading is possible and never writes its pointer.
HRESULT BaseImpl::get_Option(uint32_t code, int32_t* value) {
  const OptionRow* row = findOptionRow(code);
  if (!row || !row->get) return E_INVALIDARG;
  if (!value && code != LUMORIX_OPTION_RELOAD) return E_POINTER;
  return row->get(*this, value);
}
