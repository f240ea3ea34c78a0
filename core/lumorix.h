// The camera interface family, generated from the method list: C++ interfaces and stubs, C view.
#pragma once

#include "platform/com_types.h"
#include "core/lumorix_methods.inc"
#include "core/lumorix_options.h"

// Records owned by other parts of the camera; the interfaces only pass pointers to them.
struct ModelInfo;
struct PresetRecord;
struct LumorixFocusInfo;
typedef struct ModelInfo ModelInfo;
typedef struct PresetRecord PresetRecord;
typedef struct LumorixFocusInfo LumorixFocusInfo;

// The focus motor's five values as the model states them; fixed layout, hosts receive it.
struct LumorixFocusInfo {
  int32_t value[5];
};

// Callbacks a host installs; each gets back the context it registered with.
typedef void (*LumorixHistogramCallback)(const float* luma, const float* red, const float* green,
                                         const float* blue, void* context);
typedef void (*LumorixNotifyCallback)(void* context);
typedef void (*LumorixTempTintCallback)(int32_t temperature, int32_t tint, void* context);
typedef void (*LumorixResultCallback)(int32_t result, void* context);
typedef void (*LumorixErrorCallback)(int32_t code, void* context);

#define LUMORIX_RESULT_HR HRESULT
#define LUMORIX_RESULT_PLAIN uint32_t
#define LUMORIX_UNPAREN(...) __VA_ARGS__
#define LUMORIX_TAIL(...) __VA_OPT__(, ) __VA_ARGS__

#ifdef __cplusplus
#define LUMORIX_DEFINE_IID(Name, l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7) \
  inline constexpr IID IID_##Name = {l, w1, w2, {b0, b1, b2, b3, b4, b5, b6, b7}};
#else
#define LUMORIX_DEFINE_IID(Name, l, w1, w2, b0, b1, b2, b3, b4, b5, b6, b7) \
  static const IID IID_##Name = {l, w1, w2, {b0, b1, b2, b3, b4, b5, b6, b7}};
#endif
LUMORIX_INTERFACES(LUMORIX_DEFINE_IID)

#if defined(__cplusplus) && !defined(CINTERFACE)

#include <cstdint>

// --- C++ interfaces: pure virtual, no overloads, no virtual destructor (the owner deletes the
// object by its own type; a protected one keeps a delete through the interface from compiling).
#define LUMORIX_DECLARE_METHOD(I, kind, name, params, args) \
  virtual LUMORIX_RESULT_##kind STDMETHODCALLTYPE name params = 0;
#define LUMORIX_DECLARE_INTERFACE(Name, ...)             \
  struct Name : public IUnknown {                        \
    LUMORIX_METHODS_##Name(LUMORIX_DECLARE_METHOD, Name) \
                                                         \
        protected : ~Name() = default;                   \
  };
LUMORIX_INTERFACES(LUMORIX_DECLARE_INTERFACE)

// --- Names, counts and ordinals (ordinal 1 = first slot after IUnknown).
enum class LumorixInterface : uint32_t {
#define LUMORIX_INTERFACE_ENUM(Name, ...) Name,
  LUMORIX_INTERFACES(LUMORIX_INTERFACE_ENUM)
#undef LUMORIX_INTERFACE_ENUM
      Count
};
inline constexpr uint32_t kLumorixInterfaceCount = static_cast<uint32_t>(LumorixInterface::Count);

template <class I>
struct LumorixTraits;

#define LUMORIX_NAME_ENTRY(I, kind, name, params, args) #name,
#define LUMORIX_PLAIN_ENTRY(I, kind, name, params, args) LUMORIX_IS_PLAIN_##kind,
#define LUMORIX_ORDINAL_ENTRY(I, kind, name, params, args) name,
#define LUMORIX_IS_PLAIN_HR false
#define LUMORIX_IS_PLAIN_PLAIN true
#define LUMORIX_DECLARE_TRAITS(Name, ...)                                                        \
  template <>                                                                                    \
  struct LumorixTraits<Name> {                                                                   \
    static constexpr LumorixInterface id = LumorixInterface::Name;                               \
    static constexpr const char* interfaceName = #Name;                                          \
    static constexpr const IID& iid = IID_##Name;                                                \
    static constexpr const char* names[] = {LUMORIX_METHODS_##Name(LUMORIX_NAME_ENTRY, Name)};   \
    static constexpr bool plain[] = {LUMORIX_METHODS_##Name(LUMORIX_PLAIN_ENTRY, Name)};         \
    static constexpr uint32_t count = sizeof(names) / sizeof(names[0]);                          \
    enum Ordinal : uint32_t { kNoOrdinal, LUMORIX_METHODS_##Name(LUMORIX_ORDINAL_ENTRY, Name) }; \
  };
LUMORIX_INTERFACES(LUMORIX_DECLARE_TRAITS)

// One row per interface, in interface order, for code that walks the whole family.
struct LumorixInterfaceInfo {
  const char* name;
  const IID* iid;
  const char* const* methods;
  const bool* plain;
  uint32_t count;
};
inline constexpr LumorixInterfaceInfo kLumorixInterfaces[] = {
#define LUMORIX_INTERFACE_ROW(Name, ...)                                        \
  {LumorixTraits<Name>::interfaceName, &IID_##Name, LumorixTraits<Name>::names, \
   LumorixTraits<Name>::plain, LumorixTraits<Name>::count},
    LUMORIX_INTERFACES(LUMORIX_INTERFACE_ROW)
#undef LUMORIX_INTERFACE_ROW
};

// --- Every method answers E_NOTIMPL, or 0 when it returns a plain value.
#define LUMORIX_NOTIMPL_HR E_NOTIMPL
#define LUMORIX_NOTIMPL_PLAIN 0u
template <class I>
class LumorixNotImplemented;
#define LUMORIX_NOTIMPL_METHOD(I, kind, name, params, args)      \
  LUMORIX_RESULT_##kind STDMETHODCALLTYPE name params override { \
    return LUMORIX_NOTIMPL_##kind;                               \
  }
#define LUMORIX_DECLARE_NOTIMPL(Name, ...)               \
  template <>                                            \
  class LumorixNotImplemented<Name> : public Name {      \
   public:                                               \
    LUMORIX_METHODS_##Name(LUMORIX_NOTIMPL_METHOD, Name) \
                                                         \
        protected : ~LumorixNotImplemented() = default;  \
  };
LUMORIX_INTERFACES(LUMORIX_DECLARE_NOTIMPL)

// --- Each method calls the same method on Derived::ForwardTarget<I>(), or answers
// Derived::NoTargetResult<I>(ordinal) when there is no target. A Derived that declares
// ForwardRefusal<I>(ordinal, arguments...) is asked first; anything but S_OK is the answer, target
// or none (argument checks that must hold whatever the target). Locals carry a trailing underscore
// so that no parameter name of the list can shadow them. A class that answers a method
// itself overrides it, so a changed signature fails to compile there.
template <class Derived, class I>
class LumorixForwarder;
#define LUMORIX_FORWARD_METHOD(I, kind, name, params, args)                                  \
  LUMORIX_RESULT_##kind STDMETHODCALLTYPE name params override {                             \
    Derived& forwardSelf_ = static_cast<Derived&>(*this);                                    \
    if constexpr (requires {                                                                 \
                    forwardSelf_.template ForwardRefusal<I>(                                 \
                        LumorixTraits<I>::name LUMORIX_TAIL args);                           \
                  }) {                                                                       \
      const HRESULT refusal_ =                                                               \
          forwardSelf_.template ForwardRefusal<I>(LumorixTraits<I>::name LUMORIX_TAIL args); \
      if (refusal_ != S_OK) return static_cast<LUMORIX_RESULT_##kind>(refusal_);             \
    }                                                                                        \
    I* forwardTarget_ = forwardSelf_.template ForwardTarget<I>();                            \
    if (forwardTarget_ == nullptr)                                                           \
      return static_cast<LUMORIX_RESULT_##kind>(                                             \
          forwardSelf_.template NoTargetResult<I>(LumorixTraits<I>::name));                  \
    return forwardTarget_->name args;                                                        \
  }
#define LUMORIX_DECLARE_FORWARDER(Name, ...)             \
  template <class Derived>                               \
  class LumorixForwarder<Derived, Name> : public Name {  \
   public:                                               \
    LUMORIX_METHODS_##Name(LUMORIX_FORWARD_METHOD, Name) \
                                                         \
        protected : ~LumorixForwarder() = default;       \
  };
LUMORIX_INTERFACES(LUMORIX_DECLARE_FORWARDER)

#else  // the C view, laid out as the Windows headers lay out their C interfaces

#define LUMORIX_C_METHOD(I, kind, name, params, args) \
  LUMORIX_RESULT_##kind(STDMETHODCALLTYPE* name)(I * This LUMORIX_TAIL params);
#define LUMORIX_C_NAME(I, kind, name, params, args) #name,
#define LUMORIX_DECLARE_C_INTERFACE(Name, ...)                                                    \
  typedef struct Name Name;                                                                       \
  typedef struct Name##Vtbl {                                                                     \
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Name * This, REFIID riid, void** object);          \
    ULONG(STDMETHODCALLTYPE* AddRef)(Name * This);                                                \
    ULONG(STDMETHODCALLTYPE* Release)(Name * This);                                               \
    LUMORIX_METHODS_##Name(LUMORIX_C_METHOD, Name)                                                \
  } Name##Vtbl;                                                                                   \
  struct Name {                                                                                   \
    const Name##Vtbl* lpVtbl;                                                                     \
  };                                                                                              \
  static const char* const Name##_MethodNames[] = {LUMORIX_METHODS_##Name(LUMORIX_C_NAME, Name)}; \
  enum { Name##_MethodCount = sizeof(Name##_MethodNames) / sizeof(Name##_MethodNames[0]) };
LUMORIX_INTERFACES(LUMORIX_DECLARE_C_INTERFACE)

#endif
