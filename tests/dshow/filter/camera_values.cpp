// The settings a fake camera holds for page tests and the calls made on it.
#include "tests/dshow/filter/camera_values.h"

HRESULT CameraValues::record(std::string_view name, std::initializer_list<int64_t> args) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back(CameraCall{std::string(name), std::vector<int64_t>(args)});
  }
  auto it = failing.find(name);
  return it == failing.end() ? S_OK : it->second;
}

size_t CameraValues::count(std::string_view name) const {
  std::lock_guard<std::mutex> guard(lock_);
  size_t n = 0;
  for (const CameraCall& call : calls_) n += call.name == name ? 1 : 0;
  return n;
}

std::vector<int64_t> CameraValues::last(std::string_view name) const {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = calls_.rbegin(); it != calls_.rend(); ++it)
    if (it->name == name) return it->args;
  return {};
}

std::vector<CameraCall> CameraValues::calls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

size_t CameraValues::mark() const {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_.size();
}

std::string CameraValues::describe(size_t mark) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::string text;
  for (size_t i = mark; i < calls_.size(); ++i) {
    text += calls_[i].name + "(";
    for (size_t a = 0; a < calls_[i].args.size(); ++a)
      text += (a ? ", " : "") + std::to_string(calls_[i].args[a]);
    text += ")\n";
  }
  return text;
}

void CameraValues::clearCalls() {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.clear();
}

void CameraValues::fireExposure() {
  if (expoCallback) expoCallback(expoContext);
}

void CameraValues::fireChrome() {
  if (chromeCallback) chromeCallback(chromeContext);
}

bool CameraValues::fireHistogram(const float* luma, const float* red, const float* green,
                                 const float* blue) {
  LumorixHistogramCallback callback = histogramCallback;
  if (!callback) return false;
  histogramCallback = nullptr;
  callback(luma, red, green, blue, histogramContext);
  return true;
}

bool CameraValues::fireOnePush() {
  LumorixTempTintCallback callback = onePushCallback;
  if (!callback) return false;
  onePushCallback = nullptr;
  temperature = onePushTemperature;
  tint = onePushTint;
  callback(temperature, tint, onePushContext);
  return true;
}
