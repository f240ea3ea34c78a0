// BaseImpl construction, destruction, settings persistence and interface lookup.
#include "core/base_impl.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "platform/registry.h"
#include "platform/utf16.h"

namespace {

constexpr const char* kPreviewSizeValue = "PreviewSize";
constexpr const char* kStillSizeValue = "StillSize";

// Transport trigger flags: such a model is triggered by the transport, not by our event.
constexpr uint64_t kTransportTriggerMask = LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT;

uint32_t clampIndex(uint32_t value, uint32_t count) {
  return count == 0 ? 0 : std::min(value, count - 1);
}

}  // namespace

BaseImpl::BaseImpl(uint32_t rawBufferBytes, uint32_t defaultPreviewIndex, const ModelInfo* model,
                   const WCHAR16* settingsRoot, uint8_t openFlagA, uint8_t openFlagB,
                   const WCHAR16* registryName, const ResolutionEntry* previewTable)
    : previewTable_(previewTable),
      model_(model),
      defaultPreviewIndex_(defaultPreviewIndex),
      openFlagA_(openFlagA),
      openFlagB_(openFlagB),
      buffers_(rawBufferBytes) {
  previewIndex_ = clampIndex(defaultPreviewIndex, previewCount());
  openSettingsKey(settingsRoot, registryName);
  loadIndexes();
  buffers_.resetLists();
  if ((modelFlags() & kTransportTriggerMask) == 0)
    triggerEvent_ = std::make_unique<platform::Event>(platform::Event::Kind::AutoReset, false);
}

BaseImpl::~BaseImpl() {
  // Events and lists go with their members; only the settings need an explicit step. An object
  // that never became valid was never handed out, so it leaves the store untouched.
  if (!valid()) return;
  try {
    saveIndexes();
  } catch (...) {
    ZX_TRACE_ERROR("%s: settings not saved", "~BaseImpl");
  }
}

bool BaseImpl::valid() const {
  const bool needsTriggerEvent = (modelFlags() & kTransportTriggerMask) == 0;
  return model_ != nullptr && buffers_.valid() && stopEvent_.valid() &&
         (!needsTriggerEvent || (triggerEvent_ != nullptr && triggerEvent_->valid()));
}

// The key is root + "\" + registry name. One that does not fit is not cut: a shortened name
// would address some other key, so such a camera persists nothing.
void BaseImpl::openSettingsKey(const WCHAR16* settingsRoot, const WCHAR16* registryName) {
  if (settingsRoot == nullptr || settingsRoot[0] == 0 || registryName == nullptr ||
      registryName[0] == 0)
    return;
  WString key(settingsRoot);
  key += ZX_W('\\');
  key += registryName;
  if (key.size() >= kRegistrySubkeyChars) {
    ZX_TRACE_ERROR("%s: settings key of %u characters is too long", "BaseImpl",
                   static_cast<unsigned>(key.size()));
    return;
  }
  platform::WideCopy(registrySubkey_, kRegistrySubkeyChars, key);
  hasRegistryKey_ = true;
}

void BaseImpl::loadIndexes() {
  if (!hasRegistryKey_) return;
  platform::Registry& registry = platform::CurrentRegistry();
  const std::string key = platform::WideToUtf8(registrySubkey_);
  uint32_t value = 0;
  // Without preview resolutions there is no index to restore.
  if (previewCount() > 0 &&
      registry.readDword(key, kPreviewSizeValue, value) == platform::RegStatus::Ok)
    previewIndex_ = clampIndex(value, previewCount());
  if (stillCount() > 0 &&
      registry.readDword(key, kStillSizeValue, value) == platform::RegStatus::Ok)
    stillIndex_ = clampIndex(value, stillCount());
}

void BaseImpl::saveIndexes() {
  if (!hasRegistryKey_) return;
  platform::Registry& registry = platform::CurrentRegistry();
  const std::string key = platform::WideToUtf8(registrySubkey_);
  registry.writeDword(key, kPreviewSizeValue, previewIndex_.load());
  if (stillCount() > 0) registry.writeDword(key, kStillSizeValue, stillIndex_.load());
}

HRESULT STDMETHODCALLTYPE BaseImpl::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // In the order callers ask most: the still interface first, then the main one.
  if (IsEqualGUID(riid, IID_ILumorixStillImage))
    *object = static_cast<ILumorixStillImage*>(this);
  else if (IsEqualGUID(riid, IID_ILumorix))
    *object = static_cast<ILumorix*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixSerialNumber))
    *object = static_cast<ILumorixSerialNumber*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixInternal))
    *object = static_cast<ILumorixInternal*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixProcessFlag))
    *object = static_cast<ILumorixProcessFlag*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixInternalInternal))
    *object = static_cast<ILumorixInternalInternal*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixPreset))
    *object = static_cast<ILumorixPreset*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixVersion))
    *object = static_cast<ILumorixVersion*>(this);
  else if (IsEqualGUID(riid, IID_ILumorixST4))
    *object = static_cast<ILumorixST4*>(this);
  else if (IsEqualGUID(riid, IID_IUnknown))
    *object = static_cast<ILumorix*>(this);
  return *object ? S_OK : E_NOINTERFACE;
}

// A stop joins these threads under the control lock: a camera thread that cannot take it may be
// the one being joined, so it only stores the level. A host callback a start raises under the
// lock already holds it on this thread, and asking a mutex its own thread holds is undefined.
void BaseImpl::setThreadPriority(uint32_t level) {
  threadPriority_ = level;
  if (controlLock_.heldHere()) {
    applyThreadPriority();
    return;
  }
  std::unique_lock<ControlLock> guard(controlLock_, std::defer_lock);
  if (onCameraThread() ? !guard.try_lock() : (guard.lock(), false)) return;
  applyThreadPriority();
}

// Also at each start, so a level stored while stopped or from a camera thread holds from then on.
void BaseImpl::applyThreadPriority() {
  static constexpr platform::ThreadPriority kLevels[] = {platform::ThreadPriority::Normal,
                                                         platform::ThreadPriority::AboveNormal,
                                                         platform::ThreadPriority::Highest};
  const uint32_t level = threadPriority_.load();
  if (level >= std::size(kLevels)) return;
  for (auto* thread : {&grabberThread_, &fillBufferThread_})
    if (*thread) (*thread)->setPriority(kLevels[level]);
}
