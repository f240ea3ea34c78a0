// The constexpr description of one CCD class: the shared model descriptor plus the CCD's
// generation, sizes, timing programs, field layouts and exposure and still rules.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "models/common/field_assembler.h"
#include "models/common/model_descriptor.h"

// One entry of a timing program: a register and its value; kFpgaPause is a pause of `value` ms.
struct FpgaPair {
  uint32_t reg;
  uint32_t value;
};
inline constexpr uint32_t kFpgaPause = 0xFFFF;
// Short-form programs write the speed-dependent register 48 through this marker.
inline constexpr uint32_t kFpgaSpeedMarker = 0xFF30;
inline constexpr uint32_t kFpgaSpeedRegister = 48;

// A register whose value comes from the speed level instead of the table.
struct FpgaSpeedRule {
  uint32_t reg;
  uint32_t atSpeed1;
  uint32_t atSpeed0;
};

struct FpgaProgram {
  std::span<const FpgaPair> pairs;
  std::span<const FpgaSpeedRule> speedRules;  // besides 48 and its marker, which every one has
};

enum class CcdSize : uint8_t { Mp14, Mp31, Mp51 };

// How the camera opens: with the driver state and the mode query, the same storing the mode
// (the query is run again before exposure, range, start and still), or plainly (long form fixed).
enum class CcdOpen : uint8_t { DriverState, DriverStateRequery, Plain };

struct CcdMode {
  uint32_t rawWidth, rawHeight;  // the pipeline's raw size; 0: the output's
  FieldLayout layout;            // how a grab at this mode's width puts its blocks together
  uint32_t grabRetry;
  uint32_t maxFrameRate;
  FpgaProgram shortForm, longForm;      // first generation
  FpgaProgram second;                   // second generation, before its timing block
  std::array<uint32_t, 8> timingBlock;  // second generation: FPGA registers 0..7
  uint8_t readoutMode;                  // second generation: FPGA 8 (fields)
  // The first generation's short-form exposure range, also what it gives the pipeline.
  ValueRange shortRangeUs;
};

struct CcdSpec {
  ModelSpec model;
  CcdSize size;
  bool second;  // the V2 interface generation
  CcdOpen open;
  uint32_t gainScale;     // the gain code's factor
  uint16_t gainFallback;  // the code outside 100..500 %
  std::span<const CcdMode> modes;
  // The second generation's frame-length rule: line length and minimum frame in lines by mode.
  std::array<uint32_t, 2> lineClocks;
  std::array<uint32_t, 2> minFrameLines;
};
