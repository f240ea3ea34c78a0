// The camera list the Wine host reads from the registry, e.g. "0-c310:rev=3,scene=chart;1-4310".
#pragma once

#include <string>
#include <vector>

#include "sim/device_state.h"
#include "sim/frame_content.h"

namespace sim {

struct CameraSetup {
  SimConfig config;
  ContentKind content = ContentKind::Pattern;
  SceneOptions scene;
};

// One entry: "<instance>-<product id in hex>[:option,...]". Options: rev=, vid=, packet= (numbers
// in C notation; the packet size defaults to the id's link), scene=pattern|chart|flat|dark (the
// chart, the flat field or the covered sensor as the id's sensor sees it) and reference= (µs of
// exposure that show the scene as is at 100 % gain). Throws std::invalid_argument when anything is
// malformed, out of range or unknown, so a typing error never passes unnoticed.
CameraSetup ParseCamera(const std::string& entry);
// Entries separated by ';'. Malformed entries, and repeats of an id already listed, are left out.
std::vector<CameraSetup> ParseCameraList(const std::string& list);

}  // namespace sim
