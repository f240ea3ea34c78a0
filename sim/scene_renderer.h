// Renders mosaic frames of a scene: the mosaic is built once per scene and geometry, and each frame
// only scales it, so full frames keep up with fast frame rates.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/frame_content.h"

namespace sim {

class SceneRenderer {
 public:
  // One frame as RenderScene describes it.
  void render(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
              ColourFn colour, uint32_t exposureUs, uint32_t gainPercent, uint64_t timeMs);

 private:
  void buildMosaic(uint32_t width, uint32_t height, int bayerOrder, ColourFn colour);
  void buildTables(const SceneOptions& options, double brightness);
  // The two-byte layouts, straight from the colour function: pixels a row is width / 2.
  void renderWide(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                  ColourFn colour) const;

  std::vector<uint8_t> mosaic_;  // SceneSample of every site, before brightness
  uint32_t width_ = 0, height_ = 0;
  int bayerOrder_ = 0;
  ColourFn colour_ = nullptr;
  uint8_t tables_[4][256] = {};  // output by sample, per channel: red, green, blue, mono
};

}  // namespace sim
