// The camera's EEPROM block: a bzip2-packed set of defect lists and a serial-number record, with
// broken variants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct DefectPixel {
  uint32_t x, y;
};

class EepromImage {
 public:
  enum class Variant {
    Valid,
    WrongUnpackedSize,  // the unpacked-size field is one more than the lists take
    BadMarker,          // the block's version byte is not '2'
    WrongListCount,     // the list count is one more than the lists given
    GroupSumMismatch,   // the first list's count is one less than its groups add up to
    Count2048,          // the first list claims 2048 entries
    TruncatedGroup,     // the unpacked data ends inside the last group
  };

  static constexpr const char* kDefaultSerial = "AB2401011200000123456789ABCDEF0";

  // A valid block of `listCount` empty lists and the default serial.
  explicit EepromImage(uint16_t listCount = 2);
  // A valid block of `listCount` lists, each holding one defect no other list has.
  static EepromImage OneDefectPerList(uint16_t listCount);

  EepromImage& setSerial(std::string serial31);
  EepromImage& setLists(std::vector<std::vector<DefectPixel>> lists);
  EepromImage& setVariant(Variant variant);

  // The bytes as stored from address 0; empty when bzip2 fails.
  std::vector<uint8_t> build() const;
  // The unpacked lists part alone, as the block carries it compressed.
  std::vector<uint8_t> unpackedLists() const;

 private:
  std::string serial_ = kDefaultSerial;
  std::vector<std::vector<DefectPixel>> lists_;
  Variant variant_ = Variant::Valid;
};

}  // namespace sim
