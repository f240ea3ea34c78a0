// Small helpers the pages share for their dialog controls: trackbars, up-downs, texts and radios.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Registers the common control classes (trackbars, up-downs, list views) once per process.
void EnsureCommonControls();

void SetTrackbarRange(HWND dialog, int id, int32_t lowest, int32_t highest);
void SetTrackbarPos(HWND dialog, int id, int32_t pos);
int32_t TrackbarPos(HWND dialog, int id);
// Up-down ranges and positions in 32 bits (UDM_SETRANGE32 / UDM_GETPOS32).
void SetUpDownRange(HWND dialog, int id, int32_t lowest, int32_t highest);
void SetUpDownPos(HWND dialog, int id, int32_t pos);
// The position and whether the buddy's text was a plain integer within the range.
std::optional<int32_t> UpDownPos(HWND dialog, int id);

std::wstring DialogItemText(HWND dialog, int id);
void SetDialogItemText(HWND dialog, int id, const std::wstring& text);
// A text formatted with printf rules (numbers only: no translated text is ever a format).
std::wstring FormatNumber(const wchar_t* format, double value);
// The edit's text as an unsigned integer; none when it is not one.
std::optional<uint32_t> DialogItemUnsigned(HWND dialog, int id);
// Writes value to the edit only when its text differs, so typing is not disturbed.
void ShowUnsigned(HWND dialog, int id, uint32_t value);

bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void EnableItem(HWND dialog, int id, bool enabled);
// Moves the focus to a control as the dialog manager does (WM_NEXTDLGCTL).
void FocusItem(HWND dialog, int id);
