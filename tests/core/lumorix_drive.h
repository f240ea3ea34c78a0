// Test helpers that visit every method of the interface family and call it with distinct values.
#pragma once

#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/lumorix.h"
#include "core/testing/recording_lumorix.h"

// A value of parameter type T derived from seed; pointers are never dereferenced by the stand-ins.
template <class T>
T MakeArg(uint64_t seed) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<T>(static_cast<uintptr_t>(0x100000 + seed * 16));
  else if constexpr (std::is_floating_point_v<T>)
    return static_cast<T>(seed) + static_cast<T>(0.25);
  else
    return static_cast<T>(seed);
}

struct DrivenCall {
  std::vector<uint64_t> args;
  uint64_t result;
};

// Calls obj->*method with arguments made from seed, seed + 1, ...
template <class I, class R, class... A>
DrivenCall DriveMethod(I* obj, R (I::*method)(A...), uint64_t seed) {
  std::tuple<A...> values{};
  DrivenCall call{};
  [&]<size_t... N>(std::index_sequence<N...>) {
    ((std::get<N>(values) = MakeArg<A>(seed + N)), ...);
    call.args = {ArgBits(std::get<N>(values))...};
  }
  (std::index_sequence_for<A...>{});
  call.result = ArgBits(std::apply([&](A... a) { return (obj->*method)(a...); }, values));
  return call;
}

// The same call made the way a foreign caller makes it: through the raw vtable slot.
template <class I, class R, class... A>
DrivenCall DriveSlot(I* obj, R (I::*)(A...), size_t slot, uint64_t seed) {
  using Fn = R(STDMETHODCALLTYPE*)(I*, A...);
  void** vtable = *reinterpret_cast<void***>(obj);
  Fn fn = reinterpret_cast<Fn>(vtable[slot]);
  DrivenCall call{};
  [&]<size_t... N>(std::index_sequence<N...>) {
    std::tuple<A...> values{MakeArg<A>(seed + N)...};
    call.args = {ArgBits(std::get<N>(values))...};
    call.result = ArgBits(fn(obj, std::get<N>(values)...));
  }
  (std::index_sequence_for<A...>{});
  return call;
}

// visit(I* tag, member pointer, ordinal, name) for every method, in interface and slot order.
#define ZX_VISIT_METHOD(I, kind, name, params, args) \
  visit(static_cast<I*>(nullptr), &I::name, static_cast<uint32_t>(LumorixTraits<I>::name), #name);
#define ZX_VISIT_INTERFACE(Name, ...) LUMORIX_METHODS_##Name(ZX_VISIT_METHOD, Name)
template <class Visit>
void ForEachLumorixMethod(Visit&& visit) {
  LUMORIX_INTERFACES(ZX_VISIT_INTERFACE)
}
#undef ZX_VISIT_METHOD
#undef ZX_VISIT_INTERFACE

template <class I>
constexpr LumorixInterface InterfaceOf(I*) {
  return LumorixTraits<I>::id;
}
