// Typed DWORD reads and writes of the camera's settings below the current user.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/types.h"

// Subkeys arrive as wide strings and are kept as UTF-8, the registry seam's encoding.
// Value names are ASCII and stay narrow. A null or empty key means "persist nothing".
std::string RegKeyFromWide(const WCHAR16* key);

// True when the subkey exists (can be opened for reading).
bool RegKeyReadable(std::string_view subkey);

// The stored DWORD, or false when the key or value is missing or not a 4-byte REG_DWORD.
bool RegReadRaw(std::string_view subkey, std::string_view name, uint32_t& value);

// Signed read: the default when unreadable, else raised to min, then lowered to max.
int32_t RegReadDword(std::string_view subkey, std::string_view name, int32_t def, int32_t min,
                     int32_t max);
uint32_t RegReadUDword(std::string_view subkey, std::string_view name, uint32_t def, uint32_t min,
                       uint32_t max);
// A window fraction, clamped to 0..10,000,000.
int32_t RegReadFraction(std::string_view subkey, std::string_view name, int32_t def);

// Creates the key when missing; false when nothing was written (no key, or the store refused).
bool RegWriteDword(std::string_view subkey, std::string_view name, uint32_t value);

// "Name%u"-style value names.
std::string RegValueName(const char* prefix, uint32_t number);
