// The option table: one row per option code with its put and get handler and its kind.
#pragma once

#include <cstdint>
#include <span>

#include "core/lumorix_options.h"
#include "platform/com_types.h"

class BaseImpl;

// Immediate: takes effect at once. StoppedOnly: refused with 0x8000FFFF while started.
// Restart: a change stops the stream threads, applies and starts them again.
enum class OptionKind : uint8_t { Immediate, StoppedOnly, Restart };

// A handler sees the value after the dispatcher's code and pointer checks.
using OptionPut = HRESULT (*)(BaseImpl& camera, int32_t value);
using OptionGet = HRESULT (*)(BaseImpl& camera, int32_t* value);

// A null handler means the code is not accepted in that direction (0x80070057).
struct OptionRow {
  uint32_t code;
  OptionPut put;
  OptionGet get;
  OptionKind kind;
};

// Every row, in code order.
std::span<const OptionRow> optionRows();
// The row of a code, or null.
const OptionRow* findOptionRow(uint32_t code);
