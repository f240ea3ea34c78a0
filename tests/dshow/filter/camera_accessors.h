// The camera double's accessors: each records its call first and answers a scripted failure
// instead of doing its work; getters write only on success.
#pragma once

#include "tests/dshow/filter/camera_values.h"

namespace camera_accessors {

// One value a getter answers or a setter stores: where it goes and what it is.
template <class T>
struct Assign {
  T* to;
  T value;
};

// Refuses a null pointer before anything is recorded; records name; on success writes each value.
template <class... T>
HRESULT ReadEach(CameraValues& values, const char* name, Assign<T>... outs) {
  if (((outs.to == nullptr) || ...)) return E_POINTER;
  const HRESULT answer = values.record(name);
  if (answer == S_OK) ((*outs.to = outs.value), ...);
  return answer;
}
template <class T>
HRESULT Read(CameraValues& values, const char* name, T* out, T value) {
  return ReadEach(values, name, Assign<T>{out, value});
}

// Records name before looking at the pointer, so that a null pointer asks only whether the
// camera has the value (a scripted failure answers no); on success writes value.
template <class T>
HRESULT Probe(CameraValues& values, const char* name, T* out, T value) {
  const HRESULT answer = values.record(name);
  if (answer != S_OK) return answer;
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

// Records name(values); on success stores each.
template <class... T>
HRESULT WriteEach(CameraValues& values, const char* name, Assign<T>... ins) {
  const HRESULT answer = values.record(name, {static_cast<int64_t>(ins.value)...});
  if (answer == S_OK) ((*ins.to = ins.value), ...);
  return answer;
}

// Records name(value); on success stores it.
template <class T, class V>
HRESULT Write(CameraValues& values, const char* name, T* to, V value) {
  const HRESULT answer = values.record(name, {static_cast<int64_t>(value)});
  if (answer == S_OK) *to = static_cast<T>(value);
  return answer;
}

// Records name(whether there is a callback); on success keeps callback and context, for the test
// to fire.
template <class Callback>
HRESULT Keep(CameraValues& values, const char* name, Callback callback, void* context,
             Callback* callbackTo, void** contextTo) {
  const HRESULT answer = values.record(name, {callback ? 1 : 0});
  if (answer != S_OK) return answer;
  *callbackTo = callback;
  *contextTo = context;
  return S_OK;
}

}  // namespace camera_accessors
