// Which window a page's broadcast reaches: its property frame, found from what the window tree
// says about the page's ancestors (windows as opaque non-zero ids, 0 for none).
#pragma once

#include <cstdint>
#include <optional>

struct PageAncestry {
  uintptr_t parent = 0;               // the page's parent (the frame's container)
  uintptr_t grandparent = 0;          // the parent's parent, or a popup parent's owner
  uintptr_t root = 0;                 // the page's top-level window
  bool grandparentHoldsPage = false;  // the page lies within the grandparent
  bool rootHoldsGrandparent = false;  // the grandparent is the root or lies within it
};

// The grandparent when it is a frame within the page's own window tree; none otherwise, so a host
// that embeds the page more shallowly (or an owner window) never hears the page, and a missing
// window is never handed on (to the system, no window means every top-level window).
std::optional<uintptr_t> BroadcastFrame(const PageAncestry& ancestry);
