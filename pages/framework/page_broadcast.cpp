// Tells every page of the frame (and their controls) something, with both parameters 0.
#include "pages/framework/page_broadcast.h"

namespace {

BOOL CALLBACK PostToWindow(HWND window, LPARAM message) {
  PostMessageW(window, static_cast<UINT>(message), 0, 0);
  return TRUE;
}

// True when ancestor is window itself or one of its ancestors.
bool IsSelfOrAncestor(HWND ancestor, HWND window) {
  return ancestor == window || IsChild(ancestor, window);
}

}  // namespace

void BroadcastToFrame(HWND page, UINT message) {
  if (!page || !IsWindow(page)) return;
  const HWND parent = GetParent(page);
  const HWND frame = parent ? GetParent(parent) : nullptr;
  if (!frame) return;
  // GetParent also answers a popup's owner; the frame must be within the page's own window tree.
  const HWND root = GetAncestor(page, GA_ROOT);
  if (!root || !IsSelfOrAncestor(root, frame) || !IsChild(frame, page)) return;
  EnumChildWindows(frame, PostToWindow, static_cast<LPARAM>(message));
}
