// The transport half of every camera: device open over either back-end, vendor requests and the
// frame grab loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/types.h"
#include "usb/grab_state.h"
#include "usb/pipe_users.h"
#include "usb/transfer_slots.h"
#include "usb/usb_backend.h"
#include "usb/usb_model_hooks.h"
#include "usb/vendor_requests.h"

struct ModelInfo;

namespace usb {
class GrabLoop;
}

// Receives the transport's event codes (11: region written to the camera).
using UsbEventSink = void (*)(void* context, uint32_t code);

// Where tests route the WinUSB back-end; null restores WinUsb.dll.
void SetWinUsbApi(const platform::WinUsbApi* api);

class CUsb : public UsbModelHooks {
 public:
  CUsb(uint32_t transferSize, uint8_t inEndpoint, const ModelInfo* model, const WCHAR16* deviceId);
  ~CUsb() override;
  CUsb(const CUsb&) = delete;
  CUsb& operator=(const CUsb&) = delete;

  // Device object.
  HRESULT OpenInternalHandle();
  uint16_t PostOpenHandle();
  void CloseInternalHandle();
  HRESULT AbortPipe(uint8_t endpoint);  // the IN pipe of that number, as the stream reads it
  HRESULT ResetPipe();
  HRESULT ResetPort();
  void SetInterface(uint8_t ignored);
  bool bProbeGenFailure(uint32_t win32Error);
  uint32_t bGetDriverState();
  void bSetDriverState();

  // Control requests.
  HRESULT VenReq(const usb::VenReqHeader* header, void* data, uint32_t length,
                 uint32_t* transferred);
  void bWriteFPGA(uint16_t reg, uint16_t value);
  HRESULT bWriteFPGAV2(uint16_t reg, uint16_t value);
  void bWriteFPGAValue(uint16_t value);
  HRESULT bWritePacked(uint16_t reg, uint32_t value);
  HRESULT bWritePackedEx(uint16_t reg, uint32_t value);
  void bWriteResMode(uint16_t value);
  uint8_t bGetRegWriteMode();
  bool bGetAltSensor();
  uint32_t bEEPROMRead(uint8_t* dst);
  bool bST4GuideState();
  // One raw transfer on a pipe: the byte count, or the Win32 error as an HRESULT. Safe beside a
  // close on another thread, which aborts the transfer and waits for it.
  HRESULT ReadPipe(uint32_t pipe, void* buffer, uint32_t length);
  HRESULT WritePipe(uint32_t pipe, const void* buffer, uint32_t length);

  // Transport operations with their default bodies.
  HRESULT bSystemInit(uint8_t mode) override;
  HRESULT bSysFini() override;
  bool bAltSensor() override { return altSensor_; }
  void IspEnWB(bool on) override;
  void IspEnBB(bool on) override;
  void IspSetWB(const int32_t gains[3]) override;
  void IspSetBB(const uint16_t levels[3]) override;
  void IspEnMatrix(bool on) override;
  void IspSetMatrix(const double matrix[9]) override;
  void IspSetAWBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) override;
  void IspSetAERect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) override;
  void IspSetABBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) override;
  void IspSetLut(const uint16_t* table, uint32_t bits) override;
  bool bIspHasABB() override { return firmwareVersion >= 56; }
  bool IspSetLutEx() override { return false; }
  void bDMAClear() override;
  void bWriteDdrRealtime(bool on) override;
  HRESULT bST4PulseGuide(uint8_t direction, uint32_t ms) override;
  HRESULT bReload(int32_t value) override;

  // Streaming side.
  int32_t EzusbGrabFrame(uint8_t* dst, platform::Event* stopEvent, uint32_t transferSize,
                         uint32_t frameBytes, uint32_t timeoutMs, uint32_t blockCount,
                         void* packetContext);
  bool OnGrabPacket(GrabState* state, uint32_t slot, void* packetContext) override;
  HRESULT bInitUSB(bool systemInit);
  void bFiniUSB();
  void EzWriteRoi(int32_t width, int32_t height);
  void EzWriteRoiNotify(const SensorRect* window);

  // State the camera core and the models read and set.
  bool isOpen() const { return backend_ != nullptr; }
  bool kernelDriver() const { return kernelDriver_; }
  uint16_t productId() const { return productId_; }
  uint16_t revision() const { return revision_; }
  uint32_t transferSize() const { return transferSize_; }
  uint32_t readsInFlight() const { return readsInFlight_; }
  uint8_t inEndpoint() const { return inEndpoint_; }
  bool generalFailure() const { return generalFailure_; }
  int32_t resetBudget() const { return resetBudget_; }
  uint8_t deviceOpened = 0;  // set by the helper's open, cleared by bFiniUSB
  uint8_t triggerMode = 0;
  uint8_t singleFrame = 0;  // external trigger: one frame per edge (trigger option 3)
  uint8_t errorFlag = 0;    // set by the host's error report, cleared by its clear
  uint8_t frameMode = 0;
  uint8_t longFormWrites = 0;  // the 5-byte register form of request 0x08
  uint8_t firmwareVersion = 0;
  std::atomic<uint8_t> binning{1};             // a preset may load it beside a starting grabber
  std::atomic<uint32_t> noPacketTimeoutMs{0};  // the host may set it while a grab reads it
  void setEventSink(UsbEventSink sink, void* context);
  void setRequestedRoi(const SensorRect& roi);
  // Stores the region and marks it pending only when it differs from the one asked for last;
  // true when it did.
  bool requestRoi(const SensorRect& roi);
  // Forgets the region for a new size: nothing requested, applied or pending, no sensor window.
  void clearRoi();
  SensorRect appliedRoi();
  SensorRect sensorWindow();
  bool roiPending();
  SensorRect requestedRoi();
  // Under the region lock: clears the pending flag and makes the requested region the applied
  // one. Returns that copy, or false when nothing was pending.
  bool takePendingRoi(SensorRect* taken);
  void setSensorWindow(const SensorRect& window);
  // Under the region lock: the requested region is programmed again at the next frame.
  void markRoiPending();

  static constexpr uint32_t kAbortWaitMs = 5000;
  static constexpr uint32_t kCloseWaitMs = 5000;

 protected:
  const ModelInfo* model_;
  uint8_t altSensor_ = 0;

 private:
  friend class usb::GrabLoop;
  HRESULT openWinUsb(const WString& path);
  HRESULT openKernelDriver(const WString& path);
  HRESULT statusRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* status);
  void raiseEvent(uint32_t code);
  void closeStreaming(uint32_t waitMs);
  HRESULT abortEndpoint(uint8_t address);

  uint32_t transferSize_;
  uint32_t readsInFlight_ = 4;
  uint8_t inEndpoint_;
  WString deviceId_;
  bool generalFailure_ = false;
  uint32_t reprobeTick_ = 0;
  uint16_t productId_ = 0;
  uint16_t revision_ = 0;
  bool kernelDriver_ = true;
  std::unique_ptr<usb::UsbBackend> backend_;
  usb::PipeUsers pipeUsers_;  // raw transfers, which keep backend_ open without the sensor lock
  usb::TransferSlots slots_;
  int32_t resetBudget_;

  // Held to copy a region only, no callback: never in a set, so no edge in the wait table.
  std::mutex roiMutex_;
  uint32_t roiPending_ = 0;
  SensorRect requestedRoi_{};
  SensorRect appliedRoi_{};
  SensorRect sensorWindow_{};

  UsbEventSink eventSink_ = nullptr;
  void* eventContext_ = nullptr;
};
