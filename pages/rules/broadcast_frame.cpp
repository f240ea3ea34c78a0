// Which window a page's broadcast reaches.
#include "pages/rules/broadcast_frame.h"

std::optional<uintptr_t> BroadcastFrame(const PageAncestry& ancestry) {
  if (!ancestry.parent || !ancestry.grandparent || !ancestry.root) return std::nullopt;
  // A popup's parent answers its owner: only a grandparent inside the page's own tree is a frame.
  if (!ancestry.rootHoldsGrandparent || !ancestry.grandparentHoldsPage) return std::nullopt;
  return ancestry.grandparent;
}
