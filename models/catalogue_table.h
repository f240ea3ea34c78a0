// The catalogue rows of this module and the filled process catalogue.
#pragma once

#include <span>

#include "core/model_catalogue.h"

// One model class's registration. A USB3 class registers twice: under its own ids and name, and
// under ids + 0x1000 with usb2Name for its USB2 mode.
struct ModelCatalogueRow {
  ModelRegistration model;
  const WCHAR16* usb2Name;  // null for classes that register once
};

inline constexpr uint16_t kUsb2ModeIdOffset = 0x1000;

std::span<const ModelCatalogueRow> CatalogueRows();

// Registers the rows in table order: each USB3 row is followed by its USB2 registration.
// Returns the number of registrations that found a slot.
size_t RegisterCatalogueRows(ModelCatalogue& catalogue, std::span<const ModelCatalogueRow> rows);

// The process catalogue, filled from CatalogueRows() on first use, exactly once.
const ModelCatalogue& ModelTable();
