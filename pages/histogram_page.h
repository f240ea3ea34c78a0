// The histogram page: the camera's live histogram in a custom-drawn graph and the output level
// range per channel, dragged as two markers or typed.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pages/framework/enter_key_subclass.h"
#include "pages/framework/page_messages.h"
#include "pages/page_table.h"
#include "pages/rules/histogram_geometry.h"
#include "pages/rules/level_rules.h"

class CHistogramPropertyPage : public CMuiPropertyPage {
 public:
  CHistogramPropertyPage(const PageRow& row, IUnknown* outer);
  ~CHistogramPropertyPage() override;

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  // The graph control's window procedure and its painting (histogram_graph.cpp).
  LRESULT GraphMessage(HWND graph, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintGraph(HDC dc);
  WNDPROC graphPrevious = nullptr;

 private:
  void FillChannelList();
  void ShowLevels();
  void ApplyLevelText(LevelSide side);
  LevelRange ReadLevels();
  void ReadGreyMode();
  void RepaintGraph();
  void RequestHistogram();
  void OnCommand(int id, int code);
  // The markers' x for the current channel, as painted.
  void MarkerXs(const LevelRange& range, int* leftX, int* rightX) const;
  int HitTest(int x, int y);
  void PaintCurve(HDC dc, uint32_t channel, const LevelRange& range);
  void PaintAxis(HDC dc);

  float m_histogram[4][kHistogramBins] = {};  // luminance, red, green, blue
  int m_labelHeight = 0;
  HFONT m_font = nullptr;  // the 7-point menu font of the axis labels
  GraphRect m_graph = {0, 0, 0, 0};
  uint32_t m_channel = kLevelRgb;
  bool m_dragLeft = false;
  bool m_dragRight = false;
  POINT m_drag = {0, 0};
  bool m_greyMode = false;
  bool m_colour = true;
  EnterKeySubclass m_enterKeys[2];
};

LRESULT CALLBACK HistogramWindowProc(HWND graph, UINT message, WPARAM wParam, LPARAM lParam);
