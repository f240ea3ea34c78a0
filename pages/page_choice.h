// Which property pages the filter and its pins offer for a camera; free of Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

enum class FilterPage : uint8_t {
  Exposure,
  Roi,
  Colour,
  Histogram,
  Cooling,
  Cg,
  Misc2,
  Misc2BitDepth,
  Misc3,
  Misc3BitDepth,
  Misc4,
  Misc4BitDepth,
  Misc5,
  Misc5BitDepth,
  Preset,
  Count
};

enum class SizePage : uint8_t {
  None,
  Size10,
  Size20,
  Size30,
  Size40,
  Size22,
  Size33,
  Size88,
  Count
};

// What the camera answers to the queries that decide the filter's pages (results as HRESULTs).
struct PageQuery {
  bool colour;
  int32_t lightFrequency;
  int32_t skip;
  uint32_t maxBitDepth;
  int32_t fanSpeed;
  int32_t tec;
  int32_t conversionGain;
};

inline constexpr size_t kMaxFilterPages = 8;

// Fills pages in display order and returns how many there are (5 to 8).
size_t chooseFilterPages(const PageQuery& query, FilterPage (&pages)[kMaxFilterPages]);

// The one image-size page of a pin; None where no page fits (a still pin of one size).
SizePage chooseSizePage(bool stillPin, uint32_t previewCount, bool hasStills);
