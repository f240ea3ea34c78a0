// The factory of every model class: the catalogue stores these, opening calls them.
// Hand-aligned tables read better as columns.
// clang-format off
#pragma once

#include "core/model_catalogue.h"

// Model classes by family; the factory of class Impl<code> is Create<code>.
#define ZX_MODEL_CLASSES(X)                                                                 \
  X(Rostrel303100KPA) X(Rostrel305100KPA) X(Rostrel308500KPA) X(Rostrel310000KPA)           \
  X(Rostrel314000KPA)                                                                       \
  X(Rostrel01300KPA) X(Rostrel01300KPAV2) X(Rostrel02000KPA) X(Rostrel03100KPA)             \
  X(Rostrel05100KPA) X(Rostrel08000KPA) X(Rostrel09000KPA) X(Rostrel10000KPA)               \
  X(Rostrel14000KPA)                                                                        \
  X(Pelvane303100KPA) X(Pelvane305100KPA) X(Pelvane308500KPA) X(Pelvane310000KPA)           \
  X(Pelvane314000KPA)                                                                       \
  X(Pelvane00350KPA) X(Pelvane01300KMA) X(Pelvane01300KPA) X(Pelvane01300KPAV2)             \
  X(Pelvane02000KPB) X(Pelvane03100KPA) X(Pelvane05100KPA) X(Pelvane08000KPB)               \
  X(Pelvane09000KPB) X(Pelvane10000KPA) X(Pelvane14000KPA)                                  \
  X(Quillard01400KPB) X(Quillard01400KPBV2) X(Quillard03100KPB) X(Quillard03100KPBV2)       \
  X(Quillard05100KPA) X(Quillard05100KPAV2)

#define ZX_DECLARE_MODEL_FACTORY(code)                                                    \
  BaseImpl* Create##code(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA, \
                         uint8_t flagB, const ModelInfo* info) noexcept;
ZX_MODEL_CLASSES(ZX_DECLARE_MODEL_FACTORY)
#undef ZX_DECLARE_MODEL_FACTORY

// Defines the factory of class code in its family's file: create (CreateModel, CreateCcdModel)
// over the descriptor kSpec<code>.
#define ZX_DEFINE_MODEL_FACTORY(code, create)                                                 \
  BaseImpl* Create##code(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA, \
                         uint8_t flagB, const ModelInfo* info) noexcept {                     \
    return create<kSpec##code>(deviceId, settingsRoot, flagA, flagB, info);                   \
  }
// clang-format on
