// The one-push and calibration methods' checks on a camera that is not streaming.
#include <gtest/gtest.h>

#include <functional>

#include "base/lumorix_flags.h"
#include "core/base_impl.h"
#include "tests/support/stub_model.h"

namespace {

TEST(CalibrationMethods, ChecksBeforeAnyStream) {
  using Call = std::function<HRESULT(BaseImpl&)>;
  const struct {
    const char* name;
    uint64_t flags;
    Call call;
    HRESULT want;
  } table[] = {
      {"FfcOnePush while stopped", 0, [](BaseImpl& c) { return c.FfcOnePush(); }, E_UNEXPECTED},
      {"DfcOnePush while stopped", 0, [](BaseImpl& c) { return c.DfcOnePush(); }, E_UNEXPECTED},
      {"AwbOnePush on a grey model", LUMORIX_FLAG_MONO,
       [](BaseImpl& c) { return c.AwbOnePush(nullptr, nullptr); }, E_NOTIMPL},
      {"AwbOnePush while stopped", 0, [](BaseImpl& c) { return c.AwbOnePush(nullptr, nullptr); },
       E_UNEXPECTED},
      {"AwbInit while stopped", 0, [](BaseImpl& c) { return c.AwbInit(nullptr, nullptr); },
       E_UNEXPECTED},
      {"AbbOnePush while stopped", 0, [](BaseImpl& c) { return c.AbbOnePush(nullptr, nullptr); },
       E_UNEXPECTED},
      {"FfcImport without a state", 0, [](BaseImpl& c) { return c.FfcImport(ZX_W("x.ffc")); },
       E_UNEXPECTED},
      {"FfcExport without a state", 0, [](BaseImpl& c) { return c.FfcExport(ZX_W("x.ffc")); },
       E_UNEXPECTED},
      {"DfcImport without a state", 0, [](BaseImpl& c) { return c.DfcImport(ZX_W("x.dfc")); },
       E_UNEXPECTED},
  };
  for (const auto& r : table) {
    StubModelSpec spec;
    spec.flags = r.flags;
    StubModel camera{spec};
    EXPECT_EQ(r.call(camera), r.want) << r.name;
  }
}

}  // namespace
