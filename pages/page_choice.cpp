// Which property pages the filter and its pins offer for a camera; free of Windows headers.
#include "pages/page_choice.h"

namespace {

constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001);

// The Misc pages come in pairs: the plain page and its bit-depth twin right after it.
FilterPage miscPage(const PageQuery& query) {
  FilterPage plain = FilterPage::Misc2;
  if (query.colour) {
    if (query.lightFrequency != 0) {
      plain = FilterPage::Misc3;
    } else if (query.skip != 0) {
      plain = FilterPage::Misc4;
    } else {
      plain = FilterPage::Misc5;
    }
  }
  const bool deep = query.maxBitDepth >= 9;
  return static_cast<FilterPage>(static_cast<uint8_t>(plain) + (deep ? 1 : 0));
}

}  // namespace

size_t chooseFilterPages(const PageQuery& query, FilterPage (&pages)[kMaxFilterPages]) {
  const bool cooling = !(query.fanSpeed == kNotImplemented && query.tec == kNotImplemented);
  const bool conversionGain = query.conversionGain >= 0;
  size_t n = 0;
  pages[n++] = FilterPage::Exposure;
  pages[n++] = FilterPage::Roi;
  if (query.colour) pages[n++] = FilterPage::Colour;
  pages[n++] = FilterPage::Histogram;
  if (cooling) pages[n++] = FilterPage::Cooling;
  if (conversionGain) pages[n++] = FilterPage::Cg;
  pages[n++] = miscPage(query);
  pages[n++] = FilterPage::Preset;
  return n;
}

SizePage chooseSizePage(bool stillPin, uint32_t previewCount, bool hasStills) {
  // Models list 1, 2, 3, 4 or 8 sizes; any other count above 4 gets the page for eight.
  switch (previewCount) {
    case 0:
      return SizePage::None;
    case 1:
      return stillPin ? SizePage::None : SizePage::Size10;
    case 2:
      return (stillPin || hasStills) ? SizePage::Size22 : SizePage::Size20;
    case 3:
      return (stillPin || hasStills) ? SizePage::Size33 : SizePage::Size30;
    case 4:
      return SizePage::Size40;
    default:
      return SizePage::Size88;
  }
}
