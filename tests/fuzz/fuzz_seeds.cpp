// Seed inputs of the fuzz targets, written by the product's own writers and the simulator's
// EEPROM images.
#include "tests/fuzz/fuzz_seeds.h"

#include <cstring>

#include "pipeline/store/crc32.h"
#include "pipeline/store/preset_buffer.h"
#include "sim/eeprom_image.h"
#include "tests/fuzz/fuzz_checks.h"

namespace fuzz {
namespace {

using Variant = sim::EepromImage::Variant;
constexpr Variant kVariants[] = {
    Variant::Valid,          Variant::WrongUnpackedSize, Variant::BadMarker,
    Variant::WrongListCount, Variant::GroupSumMismatch,  Variant::Count2048,
    Variant::TruncatedGroup};

sim::EepromImage sample(Variant v) {
  return sim::EepromImage(kListCount)
      .setLists({{{300, 40}, {255, 3}, {20, 40}}, {}, {{1279, 959}, {0, 0}}, {{640, 480}}})
      .setVariant(v);
}

const WCHAR16 kName[kPresetNameUnits] = {u'M', u'o', u'd', u'e', u'l'};

}  // namespace

std::vector<Bytes> EepromSeeds() {
  std::vector<Bytes> seeds;
  for (Variant v : kVariants) seeds.push_back(sample(v).build());
  seeds.push_back(sim::EepromImage(2).build());
  seeds.push_back(sample(Variant::Valid).setSerial("ab1001011200000123456789ABCDEF0").build());
  return seeds;
}

std::vector<Bytes> DefectListSeeds() {
  std::vector<Bytes> seeds;
  for (Variant v : kVariants) seeds.push_back(sample(v).unpackedLists());
  return seeds;
}

std::vector<Bytes> PresetSeeds() {
  std::vector<Bytes> seeds;
  PresetRecord r{};
  r.name[0] = u'a';
  r.speed = 2;
  r.settings.aeTarget = 120;
  for (size_t n : {0, 1, 3})
    seeds.push_back(SavePresetBuffer(std::vector<PresetRecord>(n, r), kName));
  for (size_t i = 0; i + 1 < PresetLayoutCount(); ++i) {
    const PresetLayoutInfo l = PresetLayoutAt(i);
    Bytes b(kPresetHeaderBytes + 2 * l.recordBytes + kPresetCheckBytes, 0);
    std::memcpy(b.data(), l.magic, 16);
    std::memcpy(b.data() + 16, kName, sizeof kName);
    b[kPresetHeaderBytes] = 'o';
    const uint32_t crc = Crc32(b.data(), b.size() - 4);
    for (int k = 0; k < 4; ++k) b[b.size() - 4 + k] = uint8_t(crc >> (8 * k));
    seeds.push_back(b);
  }
  return seeds;
}

}  // namespace fuzz
