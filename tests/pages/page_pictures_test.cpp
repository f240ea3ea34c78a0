// Pictures of every page this build draws from the camera double, for review: in the build tree's
// pictures/pages, in English or, with ZX_PAGE_LANGUAGE=DE, in German.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/pages/page_host.h"
#include "tests/wine/windowpicture.h"

namespace {

struct PictureCase {
  const char* name;
  PageRowId row;
  int sizes;
  uint32_t stills;
};

const PictureCase kPictures[] = {
    {"Exposure", PageRowId::Exposure, 2, 0}, {"Histogram", PageRowId::Histogram, 2, 0},
    {"Colour", PageRowId::Colour, 2, 0},     {"Size10", PageRowId::Size10, 1, 0},
    {"Size20", PageRowId::Size20, 2, 0},     {"Size30", PageRowId::Size30, 3, 0},
    {"Size40", PageRowId::Size40, 4, 0},     {"Size22", PageRowId::Size22, 2, 1},
    {"Size33", PageRowId::Size33, 3, 3},     {"Size88", PageRowId::Size88, 8, 8},
};

std::string Language() {
  wchar_t value[8] = {};
  const DWORD n = GetEnvironmentVariableW(L"ZX_PAGE_LANGUAGE", value, 8);
  return n > 0 && n < 8 && std::wstring(value) == L"DE" ? "DE" : "EN";
}

TEST(PagePictures, EveryPageFromTheCameraDouble) {
  const std::string language = Language();
  PageHost::siteLcid() = language == "DE" ? 0x0407 : 0x0409;
  const std::wstring folder = L"..\\..\\pictures\\pages\\";
  CreateDirectoryW(L"..\\..\\pictures", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const PictureCase& c : kPictures) {
    CameraSetup setup;
    setup.sizes.clear();
    for (int i = 0; i < c.sizes; ++i) setup.sizes.push_back({LONG(2048 >> i), LONG(1536 >> i)});
    setup.stills = c.stills;
    PageHost host(c.row, setup);
    ASSERT_TRUE(host.ready()) << c.name;
    if (c.row == PageRowId::Histogram) {
      std::vector<float> bins[4];
      for (size_t a = 0; a < 4; ++a)
        for (size_t i = 0; i < 256; ++i)
          bins[a].push_back(
              float(1000 * (1 + a) /
                    (1 + (int(i) - 60 * int(a + 1)) * (int(i) - 60 * int(a + 1)) / 200.0)));
      host.camera().fireHistogram(bins[0].data(), bins[1].data(), bins[2].data(), bins[3].data());
    }
    host.show();
    const std::wstring file = folder + L"page_" + std::wstring(c.name, c.name + strlen(c.name)) +
                              L"_" + std::wstring(language.begin(), language.end()) + L".png";
    EXPECT_TRUE(SaveWindowPicture(host.dialog(), file)) << c.name;
  }
}

}  // namespace
