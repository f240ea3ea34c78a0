// An owning COM interface pointer: one reference, released when the holder lets go.
#pragma once

#include <utility>

#include "platform/com_types.h"

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}  // takes over the caller's reference
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** out() {
    reset();
    return &p_;
  }
  void** outVoid() { return reinterpret_cast<void**>(out()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // Another interface of the same object; empty when it has none.
  template <typename U>
  ComPtr<U> as(REFIID iid) const {
    ComPtr<U> other;
    if (p_) p_->QueryInterface(iid, other.outVoid());
    return other;
  }

 private:
  T* p_ = nullptr;
};
