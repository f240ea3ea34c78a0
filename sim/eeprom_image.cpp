// EepromImage: lists are grouped by their high coordinate parts, where coordinate = high × 255 +
// low.
#include "sim/eeprom_image.h"

#include <bzlib.h>

namespace sim {
namespace {

void putU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void putU32(std::vector<uint8_t>& out, uint32_t v) {
  putU16(out, v & 0xFFFF);
  putU16(out, v >> 16);
}

// Consecutive entries that share both high parts form one group.
void putGroups(std::vector<uint8_t>& out, const std::vector<DefectPixel>& list) {
  for (size_t first = 0; first < list.size();) {
    size_t end = first;
    const uint32_t xh = list[first].x / 255, yh = list[first].y / 255;
    while (end < list.size() && end - first < 0xFFFF && list[end].x / 255 == xh &&
           list[end].y / 255 == yh)
      ++end;
    out.push_back(static_cast<uint8_t>(xh));
    out.push_back(static_cast<uint8_t>(yh));
    putU16(out, static_cast<uint32_t>(end - first));
    for (size_t i = first; i < end; ++i) out.push_back(static_cast<uint8_t>(list[i].y % 255));
    for (size_t i = first; i < end; ++i) out.push_back(static_cast<uint8_t>(list[i].x % 255));
    first = end;
  }
}

}  // namespace

EepromImage::EepromImage(uint16_t listCount) : lists_(listCount) {}

EepromImage EepromImage::OneDefectPerList(uint16_t listCount) {
  std::vector<std::vector<DefectPixel>> lists;
  for (uint32_t i = 0; i < listCount; ++i) lists.push_back({{40 + 6 * i, 30 + 4 * i}});
  EepromImage image(listCount);
  image.setLists(std::move(lists));
  return image;
}

EepromImage& EepromImage::setSerial(std::string serial31) {
  serial_ = std::move(serial31);
  return *this;
}

EepromImage& EepromImage::setLists(std::vector<std::vector<DefectPixel>> lists) {
  lists_ = std::move(lists);
  return *this;
}

EepromImage& EepromImage::setVariant(Variant variant) {
  variant_ = variant;
  return *this;
}

std::vector<uint8_t> EepromImage::unpackedLists() const {
  auto lists = lists_;
  if (variant_ == Variant::Count2048) {
    if (lists.empty()) lists.resize(1);
    lists[0].clear();
    for (uint32_t i = 0; i < 2048; ++i) lists[0].push_back({i % 1000 + 10, i / 1000 + 10});
  }
  if (variant_ == Variant::GroupSumMismatch || variant_ == Variant::TruncatedGroup) {
    if (lists.empty()) lists.resize(1);
    if (lists[0].size() < 2) lists[0] = {{10, 10}, {20, 10}, {300, 10}};
  }
  std::vector<uint8_t> out{'2'};
  putU16(out, static_cast<uint32_t>(lists.size() + (variant_ == Variant::WrongListCount)));
  for (size_t i = 0; i < lists.size(); ++i) {
    uint32_t count = static_cast<uint32_t>(lists[i].size());
    if (i == 0 && variant_ == Variant::GroupSumMismatch) count -= 1;
    putU32(out, count);
    putGroups(out, lists[i]);
  }
  if (variant_ == Variant::TruncatedGroup) out.resize(out.size() - 1);
  return out;
}

std::vector<uint8_t> EepromImage::build() const {
  std::vector<uint8_t> unpacked = unpackedLists();
  std::vector<char> packed(unpacked.size() + unpacked.size() / 100 + 600);
  unsigned int packedBytes = static_cast<unsigned int>(packed.size());
  if (BZ2_bzBuffToBuffCompress(packed.data(), &packedBytes,
                               reinterpret_cast<char*>(unpacked.data()),
                               static_cast<unsigned int>(unpacked.size()), 9, 0, 0) != BZ_OK)
    return {};
  std::vector<uint8_t> block;
  putU32(block, 9 + packedBytes);
  block.push_back(variant_ == Variant::BadMarker ? '1' : '2');
  putU32(block,
         static_cast<uint32_t>(unpacked.size()) + (variant_ == Variant::WrongUnpackedSize ? 1 : 0));
  block.insert(block.end(), packed.begin(), packed.begin() + packedBytes);
  std::string serial = serial_;
  serial.resize(31, '0');
  block.insert(block.end(), serial.begin(), serial.end());
  block.push_back(0);
  return block;
}

}  // namespace sim
