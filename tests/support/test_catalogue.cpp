// TestCatalogue registration.
#include "tests/support/test_catalogue.h"

#include <algorithm>
#include <stdexcept>

TestCatalogue::TestCatalogue(size_t slots)
    : entries_(slots), infos_(slots), infosV1_(slots), catalogue_(entries_, infos_, infosV1_) {}

const ModelEntry& TestCatalogue::add(const WCHAR16* name,
                                     std::initializer_list<uint16_t> productIds,
                                     ModelFactory factory, uint64_t flags) {
  ModelRegistration row{};
  row.displayName = name;
  std::copy_n(productIds.begin(), std::min(productIds.size(), kModelProductIdSlots),
              row.productIds);
  row.factory = factory;
  row.flags = flags;
  row.maxSpeed = 2;
  row.previewCount = 3;
  row.stillCount = 1;
  row.pixelSize = 2.2f;
  row.resolutions[0] = {1280, 960};
  row.resolutions[1] = {640, 480};
  row.resolutions[2] = {320, 240};
  row.usb3Port = true;
  if (!RegisterModel(catalogue_, row)) throw std::runtime_error("test catalogue is full");
  return catalogue_.entries()[used_++];
}
