// lumorix_sim.dll: simulated cameras behind a C interface, for the kernel-driver shim and simctl.
#define LUMORIX_SIM_BUILD
#include "sim/wine/lumorix_sim_api.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/camera_list.h"
#include "sim/eeprom_image.h"
#include "sim/real_time_clock.h"
#include "sim/sim_bus.h"
#include "sim/family_catalogue.h"
#include "sim/wine/pending_requests.h"
#include "usb/ioctl_codes.h"

namespace {

struct Host {
  sim::RealTimeClock clock;
  sim::SimBus bus;
  std::vector<std::shared_ptr<sim::SimCamera>> cameras;
};

constexpr uint32_t kErrorBadParameter = 87;

std::mutex hostLock;
Host* host = nullptr;  // lives as long as the driver process

struct Handle;

// One pended request; it leaves the handle's table when the camera completes it.
struct Request : sim::PendedRequest {
  platform::Event event{platform::Event::Kind::ManualReset};
  platform::AsyncIo io;
  std::vector<uint8_t> in;
  LsimDone done = nullptr;
  Handle* handle = nullptr;
};

struct Handle {
  std::unique_ptr<platform::DeviceIo> device;
  sim::PendingRequests pending;
};

// The camera completes each request once; a cancel still holding it frees it afterwards, maybe
// before the completion below runs, so nothing of the request is read once it has ended.
void finished(platform::AsyncIo& io) {
  auto* request = static_cast<Request*>(io.context);
  const LsimDone done = request->done;
  void* const context = request->context;
  const uint32_t error = io.error, transferred = io.transferred;
  std::unique_ptr<sim::PendedRequest> owned = request->handle->pending.end(request);
  done(context, error, transferred);
}

sim::SimCamera* cameraAt(uint32_t n) {
  std::lock_guard<std::mutex> hold(hostLock);
  return host && n < host->cameras.size() ? host->cameras[n].get() : nullptr;
}

std::string narrow(const WString& text) {
  return std::string(text.begin(), text.end());
}

}  // namespace

extern "C" uint32_t lsim_configure(const uint16_t* cameras) {
  std::lock_guard<std::mutex> hold(hostLock);
  if (!host) host = new Host;
  std::string list;
  for (const uint16_t* c = cameras; c && *c; ++c) list.push_back(static_cast<char>(*c));
  try {  // nothing may leave through the C interface
    for (const sim::CameraSetup& setup : sim::ParseCameraList(list)) {
      const sim::FamilyEntry& family = sim::FamilyFor(setup.config.productId);
      auto camera = host->bus.add(host->clock, setup.config, family.make());
      camera->setEeprom(sim::EepromImage::OneDefectPerList(family.eepromLists).build());
      camera->setFramePeriodMs(2);
      camera->setContent(setup.content, setup.scene);
      host->cameras.push_back(std::move(camera));
    }
  } catch (const std::exception&) {
  }
  return static_cast<uint32_t>(host->cameras.size());
}

extern "C" uint32_t lsim_link_name(uint32_t n, uint16_t* name, uint32_t room) {
  sim::SimCamera* camera = cameraAt(n);
  if (!camera || !room) return 0;
  const std::string link = "lumorix-" + narrow(camera->kernelId());
  uint32_t i = 0;
  for (; i + 1 < room && i < link.size(); ++i) name[i] = static_cast<uint8_t>(link[i]);
  name[i] = 0;
  return i;
}

extern "C" void* lsim_open(uint32_t n, uint32_t* error) {
  sim::SimCamera* camera = cameraAt(n);
  *error = platform::kErrorFileNotFound;
  if (!camera) return nullptr;
  auto device = host->bus.open(camera->kernelPath(), error);
  if (!device) return nullptr;
  auto* handle = new Handle;
  handle->device = std::move(device);
  return handle;
}

extern "C" void lsim_close(void* opaque) {
  auto* handle = static_cast<Handle*>(opaque);
  handle->device.reset();  // ends the reads it still holds, through finished()
  // A read that an abort holds finishes later and still needs its handle; then it is kept.
  if (handle->pending.empty()) delete handle;
}

// Registers the request before starting it: the camera may finish it on its own thread at once.
// Never called with the handle's lock held across the start, which takes the camera's lock.
template <typename Start>
uint32_t startPended(Handle* handle, std::unique_ptr<Request> request, void** token, Start start) {
  Request* r = request.get();
  r->io.onComplete = finished;
  r->io.context = r;
  handle->pending.add(std::move(request));
  if (token) *token = r;
  const uint32_t err = start(r->io);
  if (err != platform::kErrorIoPending) handle->pending.end(r);  // refused: nothing completes it
  return err;
}

static std::unique_ptr<Request> newRequest(Handle* handle, LsimDone done, void* context) {
  auto request = std::make_unique<Request>();
  platform::PrepareAsync(request->io, request->event);
  request->done = done;
  request->context = context;
  request->handle = handle;
  return request;
}

extern "C" uint32_t lsim_ioctl(void* opaque, uint32_t code, const void* in, uint32_t inBytes,
                               void* out, uint32_t outBytes, uint32_t* transferred, LsimDone done,
                               void* context, void** token) {
  auto* handle = static_cast<Handle*>(opaque);
  auto request = newRequest(handle, done, context);
  // Input first: a buffered I/O control hands in and out in one buffer.
  request->in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inBytes);
  *transferred = 0;
  if (code == usb::kIoctlReadPipe) {
    if (!done) return kErrorBadParameter;  // a pipe read pends: it needs its completion
    const uint8_t* input = request->in.data();
    return startPended(handle, std::move(request), token, [&](platform::AsyncIo& io) {
      return handle->device->ioctl(code, input, inBytes, out, outBytes, io);
    });
  }
  const uint32_t err =
      handle->device->ioctl(code, request->in.data(), inBytes, out, outBytes, request->io);
  if (err == platform::kErrorSuccess) *transferred = request->io.transferred;
  return err;
}

extern "C" uint32_t lsim_read(void* opaque, void* buffer, uint32_t bytes, LsimDone done,
                              void* context, void** token) {
  auto* handle = static_cast<Handle*>(opaque);
  return startPended(handle, newRequest(handle, done, context), token, [&](platform::AsyncIo& io) {
    return handle->device->read(buffer, bytes, io);
  });
}

// Cancels the pended request with `context`, or every one when it is null. The camera completes a
// cancelled request through finished(), under its own lock, so the picked requests are held, not
// locked, while it does; one that completes first is left to that completion.
extern "C" void lsim_cancel(void* opaque, void* context) {
  auto* handle = static_cast<Handle*>(opaque);
  for (sim::PendedRequest* picked : handle->pending.hold(context)) {
    handle->device->cancel(static_cast<Request*>(picked)->io);
    handle->pending.release(picked);
  }
}

// One line per guide pulse the camera received: direction, length and start on its clock.
static std::string guidePulseText(const std::vector<sim::GuidePulse>& pulses) {
  std::string out;
  char line[96];
  for (const sim::GuidePulse& p : pulses) {
    std::snprintf(line, sizeof line, "direction=%u ms=%u start=%llu\n", p.direction, p.durationMs,
                  static_cast<unsigned long long>(p.startMs));
    out += line;
  }
  return out;
}

static std::string hexText(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", b);
    out += digits;
  }
  return out;
}

// simctl's commands: "<verb> <camera> [arguments]".
extern "C" uint32_t lsim_command(const char* command, char* reply, uint32_t room) {
  std::istringstream words(command ? command : "");
  std::string verb;
  uint32_t n = 0, a = 0, b = 1;
  words >> verb >> n >> a >> b;
  sim::SimCamera* camera = cameraAt(n);
  std::string answer = "ok";
  if (!camera) {
    answer = "no camera";
  } else if (verb == "log") {
    answer = camera->log().format();
  } else if (verb == "clear") {
    camera->log().clear();
  } else if (verb == "readerror") {
    camera->addStreamFault({sim::StreamFault::Kind::ReadError, 0, 0, a, b});
  } else if (verb == "stall") {
    camera->addStreamFault({sim::StreamFault::Kind::Stall, a});
  } else if (verb == "genfail") {
    camera->setGenFailure(a != 0);
  } else if (verb == "unplug") {
    camera->setUnplugged(a != 0);
  } else if (verb == "period") {
    camera->setFramePeriodMs(a);
  } else if (verb == "scene") {
    sim::SceneOptions scene;
    scene.bayerOrder = static_cast<int>(a);
    camera->setContent(a <= 3 ? sim::ContentKind::Scene : sim::ContentKind::Pattern, scene);
  } else if (verb == "chart") {
    sim::SceneOptions scene = sim::SceneFor(camera->productId());
    if (a) scene.referenceExposureUs = a;
    camera->setContent(sim::ContentKind::Chart, scene);
  } else if (verb == "abortdelay") {
    camera->setAbortDelayMs(a);
  } else if (verb == "outstanding") {
    answer = std::to_string(camera->outstandingReads());
  } else if (verb == "frames") {
    answer = std::to_string(camera->framesSent());
  } else if (verb == "st4") {
    answer = guidePulseText(camera->guidePulses());
  } else if (verb == "pipe") {
    answer = hexText(camera->loopbackBytes());
  } else {
    answer = "unknown command";
  }
  if (!room) return 0;
  const size_t len = std::min<size_t>(answer.size(), room - 1);
  std::memcpy(reply, answer.data(), len);
  reply[len] = 0;
  return static_cast<uint32_t>(len + 1);
}
