// SimWinUsbApi: each entry finds its camera through the interface handle made by initialize.
#include "sim/winusb_sim.h"

#include <cstring>

namespace sim {
namespace {

struct Interface {
  std::shared_ptr<SimCamera> camera;
};

SimCamera& cam(void* iface) {
  return *static_cast<Interface*>(iface)->camera;
}

uint32_t initialize(platform::DeviceIo& device, void** iface) {
  auto* handle = dynamic_cast<InterfaceDevice*>(&device);
  if (!handle) return 6;  // ERROR_INVALID_HANDLE
  *iface = new Interface{handle->camera()};
  return 0;
}

void freeInterface(void* iface) {
  delete static_cast<Interface*>(iface);
}

uint32_t overlappedResult(void* iface, platform::AsyncIo& io, uint32_t* transferred) {
  return cam(iface).readResult(io, transferred);
}

// Either way: the control pipe is the only one it refuses.
uint32_t abortPipe(void* iface, uint8_t pipe) {
  return pipe & 0x7F ? cam(iface).abortPipe(pipe) : 87u;
}

uint32_t resetPipe(void* iface, uint8_t pipe) {
  return pipe & 0x80 ? cam(iface).resetPipe() : 87u;
}

uint32_t controlTransfer(void* iface, platform::WinUsbSetupPacket setup, void* data, uint32_t bytes,
                         uint32_t* transferred) {
  const Setup s{(setup.requestType & 0x80) != 0, setup.request, setup.value, setup.index};
  if ((setup.requestType & 0x60) != 0x40 || setup.length != bytes) return 87;
  uint32_t n = 0;
  const uint32_t err = cam(iface).control(s, static_cast<uint8_t*>(data), bytes, &n, true);
  if (transferred) *transferred = n;
  return err;
}

uint32_t readPipe(void* iface, uint8_t pipe, void* buffer, uint32_t bytes, platform::AsyncIo& io) {
  return pipe & 0x80 ? cam(iface).submitPipeRead(pipe, buffer, bytes, io) : 87u;
}

// Ends at once when the device answers; a held write ends on an abort of its pipe or the close.
uint32_t writePipe(void* iface, uint8_t pipe, const void* data, uint32_t bytes,
                   platform::AsyncIo& io) {
  if (cam(iface).holdPipeWrite(pipe, io)) return platform::kErrorIoPending;
  const uint32_t err = cam(iface).writePipe(pipe, static_cast<const uint8_t*>(data), bytes);
  io.error = err;
  io.transferred = err == 0 ? bytes : 0;
  platform::SignalAsync(io);
  return err;
}

uint32_t setPipePolicy(void* iface, uint8_t pipe, uint32_t policy, uint32_t bytes,
                       const void* value) {
  const auto* v = static_cast<const uint8_t*>(value);
  cam(iface).setPipePolicy({pipe, policy, std::vector<uint8_t>(v, v + bytes)});
  return 0;
}

uint32_t getDescriptor(void* iface, uint8_t type, uint8_t index, uint16_t language, void* buffer,
                       uint32_t bytes, uint32_t* transferred) {
  if (type != platform::kUsbDeviceDescriptorType || index != 0) return 87;
  uint32_t n = 0;
  const uint32_t err = cam(iface).descriptor(static_cast<uint8_t*>(buffer), bytes, &n);
  if (transferred) *transferred = n;
  return err;
}

const platform::WinUsbApi table = {initialize,    freeInterface,   overlappedResult, abortPipe,
                                   resetPipe,     controlTransfer, readPipe,         writePipe,
                                   setPipePolicy, getDescriptor};

}  // namespace

const platform::WinUsbApi& SimWinUsbApi() {
  return table;
}

}  // namespace sim
