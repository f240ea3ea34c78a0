// The Preset page: the camera's named presets (list, load including the factory settings, save,
// overwrite, rename, remove, reorder) and their exchange with ".pgt" files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "pages/framework/cmuipropertypage.h"
#include "pipeline/preset.h"
#include "pipeline/preset_record.h"

// How an export writes its bytes (std::fwrite unless replaced); returns the one it replaces, so
// a test can make a write stop part-way.
using PresetByteWriter = size_t (*)(const void* bytes, size_t size, size_t count, FILE* file);
PresetByteWriter SetPresetByteWriter(PresetByteWriter writer);

class CPresetPropertyPage : public CMuiPropertyPage {
 public:
  CPresetPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ReloadPresets();
  void RefillPresetList(int32_t select);
  void EnablePresetButtons();
  void ShowPresetError(int32_t code);
  // The selected row when exactly one is selected, else -1.
  int32_t SelectedRow() const;
  HWND List() const;
  void OnButton(int id);
  void Load(int32_t row);
  void Save(int32_t row);
  void Overwrite(int32_t row);
  void Rename(int32_t row);
  void Import();
  void Export();
  // Hands the local list to the camera; false (after the message) when it refuses it.
  bool StorePresets();

  std::vector<PresetRecord> m_presets;
  WCHAR16 m_model[kPresetNameUnits] = {};
};
