// Forwarding, the not-implemented base, interface ids and model flag bits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/lumorix_flags.h"
#include "tests/core/lumorix_drive.h"

namespace {

class ForwardState {
 public:
  RecordingLumorix* target = nullptr;
  static HRESULT NoTarget(LumorixInterface iface, uint32_t ordinal) {
    return static_cast<HRESULT>(0x7E000000u | (static_cast<uint32_t>(iface) << 8) | ordinal);
  }
};

#define ZX_FORWARD_BASE(Name, ...) , public LumorixForwarder<Forwarder, Name>
class Forwarder final : public ForwardState LUMORIX_INTERFACES(ZX_FORWARD_BASE) {
 public:
  template <class I>
  I* ForwardTarget() {
    return target;
  }
  template <class I>
  HRESULT NoTargetResult(uint32_t ordinal) {
    return NoTarget(LumorixTraits<I>::id, ordinal);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
};
#undef ZX_FORWARD_BASE

TEST(LumorixForwarder, EverySlotReachesTheSameSlotWithIdenticalBits) {
  RecordingLumorix recorder;
  Forwarder forwarder;
  forwarder.target = &recorder;
  uint64_t seed = 11;
  ForEachLumorixMethod([&](auto* tag, auto method, uint32_t ordinal, const char* name) {
    using I = std::remove_pointer_t<decltype(tag)>;
    const LumorixInterface iface = InterfaceOf(tag);
    recorder.script(iface, ordinal, 0xC0000000u | static_cast<uint32_t>(seed));
    DrivenCall call = DriveMethod(static_cast<I*>(&forwarder), method, seed);
    ASSERT_FALSE(recorder.calls().empty()) << name;
    const RecordedCall& got = recorder.calls().back();
    EXPECT_EQ(got.iface, iface) << name;
    EXPECT_EQ(got.ordinal, ordinal) << name;
    EXPECT_EQ(got.args, call.args) << name;
    EXPECT_EQ(call.result, 0xC0000000u | seed) << name;
    seed += 8;
  });
  EXPECT_EQ(recorder.calls().size(), 169u);
}

TEST(LumorixForwarder, WithoutTargetEverySlotAnswersNoTargetResult) {
  Forwarder forwarder;
  ForEachLumorixMethod([&](auto* tag, auto method, uint32_t ordinal, const char* name) {
    using I = std::remove_pointer_t<decltype(tag)>;
    DrivenCall call = DriveMethod(static_cast<I*>(&forwarder), method, 1);
    EXPECT_EQ(call.result, static_cast<uint32_t>(ForwardState::NoTarget(InterfaceOf(tag), ordinal)))
        << name;
  });
}

#define ZX_NOTIMPL_BASE(Name, ...) , public LumorixNotImplemented<Name>
class Unimplemented final : public ForwardState LUMORIX_INTERFACES(ZX_NOTIMPL_BASE) {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
};
#undef ZX_NOTIMPL_BASE

TEST(LumorixNotImplemented, HresultSlotsAnswerNotImplAndPlainSlotsZero) {
  Unimplemented object;
  ForEachLumorixMethod([&](auto* tag, auto method, uint32_t ordinal, const char* name) {
    using I = std::remove_pointer_t<decltype(tag)>;
    DrivenCall call = DriveMethod(static_cast<I*>(&object), method, 5);
    const uint64_t expected =
        LumorixTraits<I>::plain[ordinal - 1] ? 0u : static_cast<uint32_t>(E_NOTIMPL);
    EXPECT_EQ(call.result, expected) << name;
  });
}

std::string formatIid(const IID& iid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(iid.Data1), iid.Data2, iid.Data3, iid.Data4[0], iid.Data4[1],
                iid.Data4[2], iid.Data4[3], iid.Data4[4], iid.Data4[5], iid.Data4[6], iid.Data4[7]);
  return text;
}

TEST(LumorixIids, EveryIidFormatsToItsPublishedString) {
  const char* published[] = {
      "{66B8EAB5-B594-4141-95FC-691A81B445F6}", "{E978EEA0-A0FF-465F-AB35-65907B8C62AC}",
      "{E12D4B13-333F-4EAE-BC89-0446D1FC634D}", "{F58A8E13-175A-40DB-A2B2-41CA3407CB96}",
      "{2F2322C1-C92E-4F50-B627-40412E45CBFE}", "{6462E923-5FB3-449B-BA1B-48A79FB80A8A}",
      "{05B1FC36-D1AB-4624-9FEE-D36A47254FF1}", "{FC69B0C7-6140-4FE7-B385-473E5EA87887}",
      "{29867037-78A9-432F-BF33-A3CFE0D6C9B3}", "{F670E70F-FDD0-4131-BAF7-E7F6C3EB66CF}"};
  ASSERT_EQ(std::size(published), kLumorixInterfaceCount);
  for (uint32_t i = 0; i < kLumorixInterfaceCount; ++i)
    EXPECT_EQ(formatIid(*kLumorixInterfaces[i].iid), published[i]) << kLumorixInterfaces[i].name;
}

TEST(LumorixIids, StandInAnswersEveryInterfaceAndRefusesOthers) {
  RecordingLumorix recorder;
  ILumorix* main = &recorder;
  for (const LumorixInterfaceInfo& info : kLumorixInterfaces) {
    void* out = nullptr;
    EXPECT_EQ(main->QueryInterface(*info.iid, &out), S_OK) << info.name;
    EXPECT_NE(out, nullptr);
  }
  IID other = IID_ILumorix;
  other.Data1 ^= 1;
  void* out = &recorder;
  EXPECT_EQ(main->QueryInterface(other, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST(LumorixFlags, HighBitFormats) {
  const bool expected[] = {false, true,  true,  true, true,  false, false,
                           false, false, false, true, false, false};
  for (uint32_t format = 0; format < std::size(expected); ++format)
    EXPECT_EQ(IsHighBitFormat(format), expected[format]) << format;
}

}  // namespace
