// A group of radio buttons, each standing for one camera value: check by value, find by id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

struct RadioChoice {
  int id;
  int32_t value;
};

// The choice of the radio with this id; null when the id is not in the group.
inline const RadioChoice* RadioOf(std::span<const RadioChoice> group, int id) {
  for (const RadioChoice& c : group)
    if (c.id == id) return &c;
  return nullptr;
}

// Checks the radio standing for value and clears the others (none checked when none does).
inline void CheckRadioOf(HWND dialog, std::span<const RadioChoice> group, int32_t value) {
  for (const RadioChoice& c : group)
    CheckDlgButton(dialog, c.id, c.value == value ? BST_CHECKED : BST_UNCHECKED);
}

inline void EnableRadios(HWND dialog, std::span<const RadioChoice> group, bool enable) {
  for (const RadioChoice& c : group) EnableWindow(GetDlgItem(dialog, c.id), enable);
}
