// Tells every page of the frame (and their controls) something, with both parameters 0.
#include "pages/framework/page_broadcast.h"

#include "pages/rules/broadcast_frame.h"

namespace {

BOOL CALLBACK PostToWindow(HWND window, LPARAM message) {
  PostMessageW(window, static_cast<UINT>(message), 0, 0);
  return TRUE;
}

uintptr_t Id(HWND window) {
  return reinterpret_cast<uintptr_t>(window);
}

// What the window tree says about the page's ancestors.
PageAncestry AncestryOf(HWND page) {
  PageAncestry ancestry;
  const HWND parent = GetParent(page);
  const HWND grandparent = parent ? GetParent(parent) : nullptr;
  const HWND root = GetAncestor(page, GA_ROOT);
  ancestry.parent = Id(parent);
  ancestry.grandparent = Id(grandparent);
  ancestry.root = Id(root);
  ancestry.grandparentHoldsPage = grandparent && IsChild(grandparent, page);
  ancestry.rootHoldsGrandparent =
      root && grandparent && (root == grandparent || IsChild(root, grandparent));
  return ancestry;
}

}  // namespace

void BroadcastToFrame(HWND page, UINT message) {
  if (!page || !IsWindow(page)) return;
  if (const std::optional<uintptr_t> frame = BroadcastFrame(AncestryOf(page)))
    EnumChildWindows(reinterpret_cast<HWND>(*frame), PostToWindow, static_cast<LPARAM>(message));
}
