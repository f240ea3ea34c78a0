// A model factory that records every call; it makes a stub camera or, when told to, none.
#pragma once

#include <optional>
#include <vector>

#include "core/model_catalogue.h"
#include "platform/types.h"

struct FactoryCall {
  WString id;
  std::optional<WString> settingsRoot;
  uint8_t flagA;
  uint8_t flagB;
  const ModelInfo* info;
};

class CountingFactory {
 public:
  // Clears the record and makes the factory return cameras again.
  static void reset();
  static void refuse(bool refuse);
  static const std::vector<FactoryCall>& calls();
  static BaseImpl* Create(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA,
                          uint8_t flagB, const ModelInfo* info) noexcept;
};
