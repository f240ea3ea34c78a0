// put_Option and get_Option: one constexpr row per code, looked up and dispatched.
#include <algorithm>
#include <array>

#include "core/base_impl.h"
#include "core/option_restart.h"
#include "core/option_table.h"

namespace {

using K = OptionKind;
constexpr OptionPut kNoPut = nullptr;
constexpr OptionGet kNoGet = nullptr;
constexpr OptionPut kPutTodo = optionPutNotBuilt;
constexpr OptionGet kGetTodo = optionGetNotBuilt;

// Adding a code is one line here and its handlers in the file of their concern.
constexpr std::array kRows{
    OptionRow{LUMORIX_OPTION_NOFRAME_TIMEOUT, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_THREAD_PRIORITY, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_MODEL_HOOK, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_RAW, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_HISTOGRAM, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_BITDEPTH, putBitDepthOption, getBitDepthOption, K::Restart},
    OptionRow{LUMORIX_OPTION_FAN, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_TEC, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_RAW_LUT, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_CURVE, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_TRIGGER, putTriggerOption, getTriggerOption, K::Restart},
    OptionRow{LUMORIX_OPTION_RGB, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_COLORMATRIX, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_WBGAIN, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_TECTARGET, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_AUTOEXP_POLICY, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_FRAMERATE, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC_VIDEO, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEMOSAIC_STILL, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_BLACKLEVEL, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_PIPELINE_THREADS, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_BINNING, putBinningOption, getBinningOption, K::Restart},
    OptionRow{LUMORIX_OPTION_ROTATE, putRotateOption, getRotateOption, K::Restart},
    OptionRow{LUMORIX_OPTION_CG, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_PIXEL_FORMAT, putPixelFormatOption, getPixelFormatOption, K::Restart},
    OptionRow{LUMORIX_OPTION_FFC, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DDR_MODE, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DFC, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_USM, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_FACTORY, putFactoryOption, getFactoryOption, K::Restart},
    OptionRow{LUMORIX_OPTION_TEC_READING, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_TEC_INFO, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_DEVICE_RESET, kPutTodo, kNoGet, K::Immediate},
    OptionRow{LUMORIX_OPTION_UPSIDE_DOWN, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_FOCUS_POS, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_FOCUS_CMD, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_CUSB38, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_CUSB39, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_EXTRA, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_AUTOEXP_THRESHOLD, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_BYTEORDER, putByteOrderOption, getByteOrderOption, K::Restart},
    OptionRow{LUMORIX_OPTION_NOPACKET_TIMEOUT, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE_MAX, kNoPut, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_BANDWIDTH, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_RELOAD, kPutTodo, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_CALLBACK_THREAD, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_FRAME_DEQUE_LENGTH, kPutTodo, kGetTodo, K::StoppedOnly},
    OptionRow{LUMORIX_OPTION_PRECISE_FRAMERATE_MIN, kNoPut, kGetTodo, K::Immediate},
    OptionRow{LUMORIX_OPTION_BLACKLEVEL_RAW, kPutTodo, kGetTodo, K::Immediate},
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

HRESULT optionPutNotBuilt(BaseImpl&, int32_t) {
  return E_NOTIMPL;
}

HRESULT optionGetNotBuilt(BaseImpl&, int32_t*) {
  return E_NOTIMPL;
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
