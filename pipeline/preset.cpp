// The preset half of a camera's pipeline helper: its store name and its list of presets.
#include "pipeline/preset.h"

#include "pipeline/store/preset_store.h"
#include "platform/utf16.h"

Preset::Preset(const WCHAR16* subKey, uint8_t tempTint) : presetTempTint_(tempTint) {
  if (!subKey) return;
  presetKey_.assign(subKey, platform::WideLength(subKey));
  const WStringView key(presetKey_);
  const size_t last = key.rfind(u'\\');
  WString name(last == WStringView::npos ? key : key.substr(last + 1));
  if (!tempTint) name += ZX_W("@WBRGB");
  platform::WideCopy(presetName_, kPresetNameUnits, name);  // cut to 31 units, terminated
  if (last != WStringView::npos) {
    const WStringView parent = key.substr(0, last);
    const size_t before = parent.rfind(u'\\');
    const WStringView parentName = before == WStringView::npos ? parent : parent.substr(before + 1);
    if (parentName == ZX_W("capi")) presetKeepVignette_ = 0;
  }
  PresetLoad(*this);
  if (presetKeepVignette_) return;
  for (PresetRecord& record : presets_) {  // a "capi" store hands out no vignette correction
    record.settings.vignetteEnable = 0;
    record.settings.vignetteAmount = 0;
    record.settings.vignetteMidpoint = 0;
  }
}
