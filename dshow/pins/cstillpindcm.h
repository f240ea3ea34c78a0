// The "~Still" pin: single stills at the camera's still resolutions, delivered on request.
#pragma once

#include "dshow/pins/cdcmpinbase.h"

class CStillPinDcm : public CDcmPinBase {
 public:
  CStillPinDcm(HRESULT* phr, CDcm* filter);
  ~CStillPinDcm() override;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;

  uint32_t listCount() override;
  HRESULT listSize(uint32_t index, LONG* width, LONG* height) override;
  HRESULT currentIndex(uint32_t* index) override;
  HRESULT selectIndex(uint32_t index) override;
  HRESULT currentSize(LONG* width, LONG* height) override;
  bool liveSize() const override { return false; }
  std::atomic<bool>& formatFixed() override;
  const GUID& category() const override { return PIN_CATEGORY_STILL; }
  long defaultBufferCount() const override { return 1; }
  bool isStill() const override { return true; }

 private:
  ILumorixStillImage* stills() const;
};
