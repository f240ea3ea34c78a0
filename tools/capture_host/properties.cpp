// The standard camera properties of a video input device, printed as a table.
#include "tools/capture_host/properties.h"

#include <cstdio>
#include <iterator>

#include "tools/capture_host/com.h"

namespace {

struct Property {
  long id;
  const char* name;
};

constexpr Property kProcAmp[] = {
    {VideoProcAmp_Brightness, "Brightness"},
    {VideoProcAmp_Contrast, "Contrast"},
    {VideoProcAmp_Hue, "Hue"},
    {VideoProcAmp_Saturation, "Saturation"},
    {VideoProcAmp_Sharpness, "Sharpness"},
    {VideoProcAmp_Gamma, "Gamma"},
    {VideoProcAmp_ColorEnable, "ColorEnable"},
    {VideoProcAmp_WhiteBalance, "WhiteBalance"},
    {VideoProcAmp_BacklightCompensation, "BacklightCompensation"},
    {VideoProcAmp_Gain, "Gain"},
};

constexpr Property kCameraControl[] = {
    {CameraControl_Pan, "Pan"},           {CameraControl_Tilt, "Tilt"},
    {CameraControl_Roll, "Roll"},         {CameraControl_Zoom, "Zoom"},
    {CameraControl_Exposure, "Exposure"}, {CameraControl_Iris, "Iris"},
    {CameraControl_Focus, "Focus"},
};

// Both interfaces share the shape of GetRange and Get.
template <class Interface>
void PrintTable(Interface* face, const char* title, const Property* list, size_t count) {
  std::printf("%s\n", title);
  for (size_t i = 0; i < count; ++i) {
    long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    const HRESULT range = face->GetRange(list[i].id, &min, &max, &step, &def, &caps);
    if (FAILED(range)) {
      std::printf("  %-22s not supported (%s)\n", list[i].name, HresultText(range).c_str());
      continue;
    }
    const HRESULT got = face->Get(list[i].id, &value, &flags);
    std::printf("  %-22s range %ld..%ld step %ld default %ld caps %ld", list[i].name, min, max,
                step, def, caps);
    if (SUCCEEDED(got)) {
      std::printf(" value %ld flags %ld\n", value, flags);
    } else {
      std::printf(" value unreadable (%s)\n", HresultText(got).c_str());
    }
  }
}

}  // namespace

bool PrintProperties(IBaseFilter* source, std::string* error) {
  ComPtr<IAMVideoProcAmp> amp;
  ComPtr<IAMCameraControl> control;
  const bool hasAmp = SUCCEEDED(source->QueryInterface(IID_IAMVideoProcAmp, amp.outVoid()));
  const bool hasControl =
      SUCCEEDED(source->QueryInterface(IID_IAMCameraControl, control.outVoid()));
  if (!hasAmp && !hasControl) {
    *error = "the device has no standard camera properties";
    return false;
  }
  if (hasAmp) PrintTable(amp.get(), "video proc amp:", kProcAmp, std::size(kProcAmp));
  if (hasControl) {
    PrintTable(control.get(), "camera control:", kCameraControl, std::size(kCameraControl));
  }
  return true;
}
