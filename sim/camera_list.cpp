// Parsing of the Wine host's camera list: strict numbers, known options only.
#include "sim/camera_list.h"

#include <sstream>
#include <stdexcept>

#include "sim/family_catalogue.h"

namespace sim {
namespace {

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The whole of `text` as a number no larger than `max`; stoull alone takes "3x" as 3 and "-1"
// as a huge value.
uint32_t number(const std::string& text, int base, uint32_t max) {
  size_t used = 0;
  unsigned long long value = 0;
  try {
    value = std::stoull(text, &used, base);
  } catch (const std::exception&) {
    used = 0;
  }
  if (text.empty() || text[0] == '-' || used != text.size() || value > max)
    throw std::invalid_argument("not a number up to " + std::to_string(max) + ": '" + text + "'");
  return static_cast<uint32_t>(value);
}

void applyOption(CameraSetup& setup, const std::string& option) {
  const size_t eq = option.find('=');
  if (eq == std::string::npos) throw std::invalid_argument("option without a value: " + option);
  const std::string key = trimmed(option.substr(0, eq)), value = trimmed(option.substr(eq + 1));
  if (key == "rev") {
    setup.config.bcdDevice = static_cast<uint16_t>(number(value, 0, 0xFFFF));
  } else if (key == "vid") {
    setup.config.vendorId = static_cast<uint16_t>(number(value, 0, 0xFFFF));
  } else if (key == "packet") {
    setup.config.maxPacket = static_cast<uint16_t>(number(value, 0, 0xFFFF));
  } else if ((key == "fw" || key == "hw") && value.size() <= 16) {
    (key == "fw" ? setup.config.firmwareText : setup.config.hardwareText) = value;
  } else if (key == "reference") {
    setup.scene.referenceExposureUs = number(value, 0, 0xFFFFFFFF);
    if (!setup.scene.referenceExposureUs) throw std::invalid_argument("reference=0");
  } else if (key == "scene" && value == "pattern") {
    setup.content = ContentKind::Pattern;
  } else if (key == "scene" && (value == "chart" || value == "flat" || value == "dark")) {
    const SceneOptions sensor = SceneFor(setup.config.productId);
    setup.content = value == "chart"  ? ContentKind::Chart
                    : value == "flat" ? ContentKind::Flat
                                      : ContentKind::Dark;
    setup.scene.bayerOrder = sensor.bayerOrder;
    setup.scene.wbBase = sensor.wbBase;
  } else {
    throw std::invalid_argument("unknown option: " + option);
  }
}

}  // namespace

CameraSetup ParseCamera(const std::string& entry) {
  CameraSetup setup;
  const std::string text = trimmed(entry);
  const size_t colon = text.find(':');
  const std::string id = text.substr(0, colon);
  const size_t dash = id.find('-');
  if (dash == std::string::npos) throw std::invalid_argument("no <instance>-<pid>: " + text);
  setup.config.instance = number(id.substr(0, dash), 10, 0xFFFFFFFF);
  setup.config.productId = static_cast<uint16_t>(number(id.substr(dash + 1), 16, 0xFFFF));
  setup.config.maxPacket = MaxPacketFor(setup.config.productId);
  std::istringstream options(colon == std::string::npos ? "" : text.substr(colon + 1));
  for (std::string option; std::getline(options, option, ',');)
    if (!trimmed(option).empty()) applyOption(setup, option);
  return setup;
}

std::vector<CameraSetup> ParseCameraList(const std::string& list) {
  std::vector<CameraSetup> cameras;
  std::istringstream entries(list);
  for (std::string entry; std::getline(entries, entry, ';');) {
    if (trimmed(entry).empty()) continue;
    try {
      CameraSetup setup = ParseCamera(entry);
      bool repeat = false;
      for (const CameraSetup& c : cameras)
        repeat |= c.config.instance == setup.config.instance &&
                  c.config.productId == setup.config.productId;
      if (!repeat) cameras.push_back(setup);
    } catch (const std::invalid_argument&) {
    }
  }
  return cameras;
}

}  // namespace sim
