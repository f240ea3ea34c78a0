// The model catalogue: model records, catalogue slots, registration and lookup by product id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/types.h"

class BaseImpl;
struct ModelInfo;

inline constexpr size_t kModelResolutionSlots = 16;
inline constexpr size_t kModelProductIdSlots = 3;
inline constexpr size_t kModelCatalogueSlots = 768;

struct ModelResolution {
  uint32_t width;
  uint32_t height;
};

// The model record the camera object and enumeration read. Fixed layout: hosts receive it.
struct ModelInfo {
  const WCHAR16* displayName;
  uint64_t flags;
  uint32_t maxSpeed;
  uint32_t previewCount;
  uint32_t stillCount;
  uint32_t fanMaxSpeed;
  uint32_t ioCount;
  float pixelWidth;
  float pixelHeight;
  ModelResolution resolutions[kModelResolutionSlots];  // preview ones first, largest first
};
static_assert(sizeof(ModelInfo) == 176);
static_assert(offsetof(ModelInfo, flags) == 8);
static_assert(offsetof(ModelInfo, previewCount) == 20);
static_assert(offsetof(ModelInfo, pixelWidth) == 36);
static_assert(offsetof(ModelInfo, resolutions) == 44);

// The older, shorter record handed out by the older enumeration call.
struct ModelInfoV1 {
  const WCHAR16* displayName;
  uint32_t flags;  // low 32 bits of the flag word
  uint32_t maxSpeed;
  uint32_t previewCount;
  uint32_t stillCount;
  ModelResolution resolutions[kModelResolutionSlots];
};
static_assert(sizeof(ModelInfoV1) == 152);
static_assert(offsetof(ModelInfoV1, resolutions) == 24);

// Creates the camera object for a device, or null. noexcept by type: a construction failure must
// become null here, never an exception on its way to a COM caller or an exported function.
using ModelFactory = BaseImpl* (*)(const WCHAR16* deviceId, const WCHAR16* settingsRoot,
                                   uint8_t flagA, uint8_t flagB, const ModelInfo* info) noexcept;

struct ModelEntry {
  uint16_t productIds[kModelProductIdSlots];  // 0 = no id at that position
  ModelFactory factory;
  const ModelInfo* info;  // null while the slot is free
  const ModelInfoV1* infoV1;
};
static_assert(sizeof(ModelEntry) == 32);

// One registration as the table states it; the flag fix-ups happen in RegisterModel.
struct ModelRegistration {
  const WCHAR16* displayName;
  uint16_t productIds[kModelProductIdSlots];
  ModelFactory factory;
  uint64_t flags;
  uint32_t maxSpeed;
  uint32_t previewCount;
  uint32_t stillCount;
  uint32_t fanMaxSpeed;
  uint32_t ioCount;
  float pixelSize;  // square pixels, micrometres
  ModelResolution resolutions[kModelResolutionSlots];
  bool usb3Port;  // the USB3 registration of a USB3 model: the only one that keeps bit 6
};

// Three parallel arrays of equal length: slot i uses entry i, record i and V1 record i.
class ModelCatalogue {
 public:
  ModelCatalogue(std::span<ModelEntry> entries, std::span<ModelInfo> infos,
                 std::span<ModelInfoV1> infosV1);

  size_t capacity() const { return entries_.size(); }
  std::span<ModelEntry> entries() { return entries_; }
  std::span<const ModelEntry> entries() const { return entries_; }
  ModelInfo& info(size_t slot) { return infos_[slot]; }
  ModelInfoV1& infoV1(size_t slot) { return infosV1_[slot]; }

 private:
  std::span<ModelEntry> entries_;
  std::span<ModelInfo> infos_;
  std::span<ModelInfoV1> infosV1_;
};

// The flag word a registration ends up with.
uint64_t FixUpModelFlags(uint64_t flags, bool usb3Port);

// Claims the first free slot. With none free it writes nothing, traces and returns false.
bool RegisterModel(ModelCatalogue& catalogue, const ModelRegistration& row);

// The first used slot listing the product id; 0 never matches.
const ModelEntry* FindModel(const ModelCatalogue& catalogue, uint16_t productId);

// The slot whose record is info, or null.
const ModelEntry* FindEntryByInfo(const ModelCatalogue& catalogue, const ModelInfo* info);

// The process-wide storage of 768 slots, zero until the registrations run.
ModelCatalogue& ProcessModelCatalogue();
