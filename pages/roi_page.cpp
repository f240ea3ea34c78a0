// The ROI page: a subclassed static control is the drawing surface; the geometry lives in the
// portable rules.
#include "pages/roi_page.h"

#include <windowsx.h>

#include "dshow/base/moduleinstance.h"
#include "dshow/screen_spacing.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kSurface = 1041;
constexpr wchar_t kPageProperty[] = L"{02B45186-1647-4e16-8E77-A9BA99703F1D}";
constexpr COLORREF kWindowHatch = 0x808080;

// A GDI object deleted when it leaves scope, selected into a DC until then.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), object_(object) {
    previous_ = object ? SelectObject(dc, object) : nullptr;
  }
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
    if (object_) DeleteObject(object_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_;
  HGDIOBJ previous_;
};

}  // namespace

CRectPropertyPage::CRectPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId)
    : CMuiPropertyPage(name, outer, dialogId, titleId) {
  m_moveCursor = LoadCursorW(g_hInst, MAKEINTRESOURCEW(IDC_MOVE_CURSOR));
}

HRESULT CRectPropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) m_lumorix->put_AeWindowMark(1);
  m_active = 1;
  return S_OK;
}

HRESULT CRectPropertyPage::OnDeactivate() {
  m_active = 0;
  if (m_lumorix) m_lumorix->put_AeWindowMark(0);
  return S_OK;
}

void CRectPropertyPage::InitSurface() {
  int32_t width = 0, height = 0;
  if (!m_lumorix || FAILED(m_lumorix->get_Size(&width, &height))) width = height = 0;
  HWND surface = GetDlgItem(m_Dlg, kSurface);
  if (!surface) return;
  RECT client = {};
  GetClientRect(surface, &client);
  m_view = MakeRoiView(width, height, client.right, client.bottom);
  SetPropW(surface, kPageProperty, this);
  m_previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(surface, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RoiWindowProc)));
  SetWindowLongPtrW(surface, GWL_STYLE, GetWindowLongPtrW(surface, GWL_STYLE) | SS_NOTIFY);
  SetFocus(surface);
}

INT_PTR CRectPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) InitSurface();
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

RoiFlips CRectPropertyPage::ReadFlips() const {
  uint32_t mirrored = 0, flipped = 0;
  m_lumorix->get_HFlip(&mirrored);
  m_lumorix->get_VFlip(&flipped);
  return {mirrored != 0, flipped != 0};
}

ImageRect CRectPropertyPage::ReadRect() const {
  RECT r = {};
  if (FAILED(m_lumorix->get_Rect(&r))) r = {};
  return {r.left, r.top, r.right, r.bottom};
}

ControlRect CRectPropertyPage::WindowInControl() const {
  return RoiInControl(m_view, ReadRect(), ReadFlips());
}

void CRectPropertyPage::WriteRect(HWND control, const ImageRect& window) {
  const RECT r = {window.left, window.top, window.right, window.bottom};
  m_lumorix->put_Rect(&r);
  InvalidateRect(control, nullptr, TRUE);
}

HCURSOR CRectPropertyPage::CursorFor(RoiHit hit) const {
  switch (hit) {
    case kRoiHitTop:
    case kRoiHitBottom:
      return LoadCursorW(nullptr, IDC_SIZENS);
    case kRoiHitLeft:
    case kRoiHitRight:
      return LoadCursorW(nullptr, IDC_SIZEWE);
    case kRoiHitInside:
      return m_moveCursor ? m_moveCursor : LoadCursorW(nullptr, IDC_SIZEALL);
    case kRoiHitPicture:
      return LoadCursorW(nullptr, IDC_CROSS);
    default:
      return LoadCursorW(nullptr, IDC_ARROW);
  }
}

void CRectPropertyPage::OnButtonDown(HWND control, int32_t x, int32_t y) {
  m_drag.hit = RoiHitTest(m_view, WindowInControl(), x, y, PageSpacings().small);
  m_drag.startX = x;
  m_drag.startY = y;
  m_drag.startWindow = ReadRect();
  SetCapture(control);
  SetFocus(control);
}

void CRectPropertyPage::Drag(HWND control, int32_t x, int32_t y) {
  if (GetCapture() != control) return;
  if (const auto window = DragRoi(m_view, m_drag, x, y, ReadFlips())) WriteRect(control, *window);
}

void CRectPropertyPage::Nudge(HWND control, int32_t dx, int32_t dy) {
  WriteRect(control, NudgeRoi(m_view, ReadRect(), dx, dy, ReadFlips()));
}

void CRectPropertyPage::Paint(HWND control) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(control, &ps);
  if (!dc) return;
  {
    SelectedObject pen(dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    const COLORREF picture =
        GetFocus() == control ? GetSysColor(COLOR_ACTIVECAPTION) : RGB(0, 0, 0);
    {
      SelectedObject brush(dc, CreateHatchBrush(HS_DIAGCROSS, picture));
      const ControlRect& p = m_view.picture;
      Rectangle(dc, p.left, p.top, p.right, p.bottom);
    }
    if (m_lumorix) {
      SelectedObject brush(dc, CreateHatchBrush(HS_CROSS, kWindowHatch));
      const ControlRect w = WindowInControl();
      Rectangle(dc, w.left, w.top, w.right, w.bottom);
    }
  }
  EndPaint(control, &ps);
}

LRESULT CRectPropertyPage::OnControlMessage(HWND control, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  const bool camera = bool(m_lumorix);
  switch (message) {
    case WM_SETCURSOR: {
      POINT p = {};
      GetCursorPos(&p);
      ScreenToClient(control, &p);
      const RoiHit hit = camera
                             ? RoiHitTest(m_view, WindowInControl(), p.x, p.y, PageSpacings().small)
                             : kRoiHitNone;
      SetCursor(CursorFor(hit));
      return 1;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
      if (camera) OnButtonDown(control, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (camera) Drag(control, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == control) {
        if (camera) Drag(control, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        ReleaseCapture();
      }
      return 0;
    case WM_KEYDOWN: {
      struct Arrow {
        WPARAM key;
        int32_t dx, dy;
      };
      static constexpr Arrow kArrows[] = {
          {VK_LEFT, -1, 0}, {VK_UP, 0, -1}, {VK_RIGHT, 1, 0}, {VK_DOWN, 0, 1}};
      for (const Arrow& a : kArrows)
        if (a.key == wParam && camera) Nudge(control, a.dx, a.dy);
      return 0;
    }
    case WM_PAINT:
      Paint(control);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, TRUE);
      return 0;
    case WM_NCDESTROY: {
      const WNDPROC previous = m_previous;
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      RemovePropW(control, kPageProperty);
      m_previous = nullptr;
      return CallWindowProcW(previous, control, message, wParam, lParam);
    }
    default:
      break;
  }
  return CallWindowProcW(m_previous, control, message, wParam, lParam);
}

LRESULT CALLBACK CRectPropertyPage::RoiWindowProc(HWND control, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  auto* page = static_cast<CRectPropertyPage*>(GetPropW(control, kPageProperty));
  if (!page || !page->m_previous) return DefWindowProcW(control, message, wParam, lParam);
  return page->OnControlMessage(control, message, wParam, lParam);
}
