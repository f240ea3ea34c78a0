// The histogram page's graph: painted double-buffered (axis labels, curves, level markers) and
// dragged by its markers.
#include <windowsx.h>

#include <algorithm>
#include <cstdio>

#include "dshow/screen_spacing.h"
#include "pages/histogram_page.h"

namespace {

constexpr wchar_t kGraphProperty[] = L"{76A25F6A-3920-4172-96A3-05EA24A40129}";
constexpr COLORREF kMarkerColour = RGB(255, 0, 255);
constexpr uint32_t kAxisValues[] = {50, 100, 150, 200};

// Per level channel: the histogram array it draws (luminance, red, green, blue order) and its pen.
struct CurveStyle {
  size_t array;
  COLORREF colour;
};
constexpr CurveStyle kCurves[] = {
    {3, RGB(0, 0, 255)},  // blue
    {2, RGB(0, 255, 0)},  // green
    {1, RGB(255, 0, 0)},  // red
    {0, RGB(0, 0, 0)},    // grey
};

void VerticalLine(HDC dc, int x, int top, int bottom) {
  MoveToEx(dc, x, bottom, nullptr);
  LineTo(dc, x, top);
}

}  // namespace

void CHistogramPropertyPage::MarkerXs(const LevelRange& range, int* leftX, int* rightX) const {
  const LevelPair shown = ShownLevels(range, m_channel);
  *leftX = LeftMarkerX(m_graph, shown.low);
  *rightX = RightMarkerX(m_graph, shown.high);
}

int CHistogramPropertyPage::HitTest(int x, int y) {
  int leftX = 0;
  int rightX = 0;
  MarkerXs(ReadLevels(), &leftX, &rightX);
  return HitMarker(m_graph, x, y, leftX, rightX, PageSpacings().small);
}

void CHistogramPropertyPage::PaintAxis(HDC dc) {
  const HGDIOBJ oldFont = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const int tick = PageSpacings().large;
  const int textBottom = m_graph.bottom + m_labelHeight;
  for (uint32_t value : kAxisValues) {
    const int x = GraphX(m_graph, value);
    VerticalLine(dc, x, m_graph.bottom, m_graph.bottom + tick);
    wchar_t text[8];
    std::swprintf(text, 8, L"%u", value);
    RECT box = {x - 200, m_graph.bottom + tick, x + 200, textBottom};
    DrawTextW(dc, text, -1, &box, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  RECT zero = {m_graph.left + 2, m_graph.bottom + tick, m_graph.right, textBottom};
  DrawTextW(dc, L"0", -1, &zero, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  RECT top = {m_graph.left, m_graph.bottom + tick, m_graph.right - 2, textBottom};
  DrawTextW(dc, L"255", -1, &top, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

void CHistogramPropertyPage::PaintCurve(HDC dc, uint32_t channel, const LevelRange& range) {
  const CurveStyle& style = kCurves[std::min(channel, kLevelGrey)];
  const float* values = m_histogram[style.array];
  const float peak = *std::max_element(values, values + kHistogramBins);
  if (peak > 0) {
    POINT points[kHistogramBins];
    for (uint32_t i = 0; i < kHistogramBins; ++i)
      points[i] = {GraphX(m_graph, i), CurveY(m_graph, values[i], peak)};
    HPEN pen = CreatePen(PS_SOLID, 1, style.colour);
    const HGDIOBJ old = SelectObject(dc, pen);
    Polyline(dc, points, int(kHistogramBins));
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  // The markers: a single channel's pair ordered and widened; RGB draws each colour's own.
  LevelPair pair = {range.low[std::min(channel, kLevelGrey)],
                    range.high[std::min(channel, kLevelGrey)]};
  if (m_channel != kLevelRgb) pair = DrawnLevels(pair.low, pair.high);
  const int leftX = m_dragLeft ? m_drag.x : LeftMarkerX(m_graph, pair.low);
  const int rightX = m_dragRight ? m_drag.x : RightMarkerX(m_graph, pair.high);
  HPEN marker = CreatePen(PS_SOLID, 1, kMarkerColour);
  const HGDIOBJ old = SelectObject(dc, marker);
  VerticalLine(dc, leftX, m_graph.top, m_graph.bottom);
  VerticalLine(dc, rightX, m_graph.top, m_graph.bottom);
  SelectObject(dc, old);
  DeleteObject(marker);
}

void CHistogramPropertyPage::PaintGraph(HDC target) {
  HWND graph = GetDlgItem(m_Dlg, 1021);
  RECT client = {0, 0, 0, 0};
  GetClientRect(graph, &client);
  const int width = std::max<int>(client.right, m_graph.right + 1);
  const int height = std::max<int>(client.bottom, m_graph.bottom + m_labelHeight);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  if (!dc || !bitmap) {
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    return;
  }
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  PaintAxis(dc);
  const LevelRange range = ReadLevels();
  if (m_channel == kLevelRgb) {
    for (uint32_t channel : {kLevelBlue, kLevelGreen, kLevelRed}) PaintCurve(dc, channel, range);
  } else {
    PaintCurve(dc, m_channel, range);
  }
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, m_graph.left, m_graph.top, m_graph.right, m_graph.bottom);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

LRESULT CHistogramPropertyPage::GraphMessage(HWND graph, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  const bool editable = LevelChannelEditable(m_channel, m_greyMode);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(graph, &paint);
      PaintGraph(dc);
      EndPaint(graph, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintGraph(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SETCURSOR: {
      POINT at;
      GetCursorPos(&at);
      ScreenToClient(graph, &at);
      const bool onMarker = editable && HitTest(at.x, at.y) != 0;
      SetCursor(LoadCursorW(nullptr, onMarker ? IDC_SIZEWE : IDC_ARROW));
      return 1;
    }
    case WM_LBUTTONDOWN: {
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      const int hit = editable ? HitTest(x, y) : 0;
      if (hit == 0) break;
      (hit == 1 ? m_dragLeft : m_dragRight) = true;
      m_drag = {x, y};
      SetCapture(graph);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == graph) {
        const int x = GET_X_LPARAM(lParam);
        if (x >= m_graph.left && x <= m_graph.right) {
          m_drag = {x, GET_Y_LPARAM(lParam)};
          InvalidateRect(graph, nullptr, FALSE);
        }
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (GetCapture() == graph) {
        ReleaseCapture();
        const std::optional<uint32_t> v = DroppedLevel(m_graph, m_drag.x);
        const LevelSide side = m_dragLeft ? LevelSide::Left : LevelSide::Right;
        const bool dragging = m_dragLeft || m_dragRight;
        m_dragLeft = m_dragRight = false;
        // A graph narrower than a pixel takes no drop.
        if (v && dragging && m_lumorix) {
          LevelRange range = ReadLevels();
          ApplyDraggedLevel(range, m_channel, side, *v);
          m_lumorix->put_LevelRange(range.low, range.high);
        }
        ShowLevels();
        InvalidateRect(graph, nullptr, FALSE);
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcW(graphPrevious, graph, message, wParam, lParam);
}

LRESULT CALLBACK HistogramWindowProc(HWND graph, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* page = static_cast<CHistogramPropertyPage*>(GetPropW(graph, kGraphProperty));
  if (!page || !page->graphPrevious) return DefWindowProcW(graph, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    const WNDPROC previous = page->graphPrevious;
    RemovePropW(graph, kGraphProperty);
    SetWindowLongPtrW(graph, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    return CallWindowProcW(previous, graph, message, wParam, lParam);
  }
  return page->GraphMessage(graph, message, wParam, lParam);
}
