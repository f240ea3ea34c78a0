// The USB3 3.1 MP sensor: streams while 0x301A bit 2 is set, in one of its two window programs
// with a frame length (0x300A) that holds the window's rows.
#pragma once

#include "sim/frame_content.h"
#include "sim/register_map.h"

namespace sim {

class Usb3Mp31Family final : public RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t revision) const override { return revision >= 3 ? 1 : 0; }

  // How this sensor sees a scene: GR/BG first, and its red and blue response below green's.
  static SceneOptions sceneOptions();

  // At the slowest clock, which every speed's exposure fits within.
  uint32_t lineUs() const override;
  struct Window;

 private:
  const Window* window() const;
  bool framed() const;  // the frame length holds the window's rows; needs a window
};

}  // namespace sim
