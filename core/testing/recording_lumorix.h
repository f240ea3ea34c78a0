// Test stand-in for the whole interface family: records every call with its arguments as bit
// patterns and answers a scripted result, by default one unique to the slot.
#pragma once

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "core/lumorix.h"

struct RecordedCall {
  LumorixInterface iface;
  uint32_t ordinal;
  std::vector<uint64_t> args;
};

// An argument's bits, zero-extended: integers by value, pointers by address, floats bitwise.
template <class T>
uint64_t ArgBits(T value) {
  static_assert(sizeof(T) <= sizeof(uint64_t));
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  return bits;
}

class RecordingCallLog {
 public:
  static uint32_t DefaultResult(LumorixInterface iface, uint32_t ordinal) {
    return 0x5A000000u | (static_cast<uint32_t>(iface) << 8) | ordinal;
  }
  void script(LumorixInterface iface, uint32_t ordinal, uint32_t result) {
    scripted_[{iface, ordinal}] = result;
  }
  uint32_t resultFor(LumorixInterface iface, uint32_t ordinal) const {
    auto it = scripted_.find({iface, ordinal});
    return it == scripted_.end() ? DefaultResult(iface, ordinal) : it->second;
  }
  const std::vector<RecordedCall>& calls() const { return calls_; }
  void clear() { calls_.clear(); }

 protected:
  template <class R, class... A>
  R recordCall_(LumorixInterface iface, uint32_t ordinal, A... args) {
    calls_.push_back(RecordedCall{iface, ordinal, {ArgBits(args)...}});
    return static_cast<R>(resultFor(iface, ordinal));
  }

 private:
  std::vector<RecordedCall> calls_;
  std::map<std::pair<LumorixInterface, uint32_t>, uint32_t> scripted_;
};

#define ZX_RECORDING_BASE(Name, ...) , public Name
#define ZX_RECORDING_QI(Name, ...)      \
  if (IsEqualGUID(riid, IID_##Name)) {  \
    *object = static_cast<Name*>(this); \
    return S_OK;                        \
  }
#define ZX_RECORDING_METHOD(I, kind, name, params, args)                \
  LUMORIX_RESULT_##kind STDMETHODCALLTYPE name params override {        \
    return this->template recordCall_<LUMORIX_RESULT_##kind>(           \
        LumorixInterface::I, LumorixTraits<I>::name LUMORIX_TAIL args); \
  }
#define ZX_RECORDING_METHODS(Name, ...) LUMORIX_METHODS_##Name(ZX_RECORDING_METHOD, Name)

class RecordingLumorix final : public RecordingCallLog LUMORIX_INTERFACES(ZX_RECORDING_BASE) {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    LUMORIX_INTERFACES(ZX_RECORDING_QI)
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }

  LUMORIX_INTERFACES(ZX_RECORDING_METHODS)
};

#undef ZX_RECORDING_BASE
#undef ZX_RECORDING_QI
#undef ZX_RECORDING_METHOD
#undef ZX_RECORDING_METHODS
