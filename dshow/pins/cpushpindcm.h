// The "Preview" pin: the camera's live video, pulled frame by frame and time-stamped.
#pragma once

#include "dshow/pins/cdcmpinbase.h"

class CPushPinDcm : public CDcmPinBase {
 public:
  CPushPinDcm(HRESULT* phr, CDcm* filter);
  ~CPushPinDcm() override;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;

  uint32_t listCount() override;
  HRESULT listSize(uint32_t index, LONG* width, LONG* height) override;
  HRESULT currentIndex(uint32_t* index) override;
  HRESULT selectIndex(uint32_t index) override;
  HRESULT currentSize(LONG* width, LONG* height) override;
  bool liveSize() const override { return true; }
  std::atomic<bool>& formatFixed() override;
  const GUID& category() const override { return PIN_CATEGORY_CAPTURE; }
  long defaultBufferCount() const override { return 3; }
  bool isStill() const override { return false; }
};
