// CCD field reassembly of a whole full frame, each generation of the 3.1 and 5.1 MP cameras,
// through CcdDevice::OnGrabPacket beside a plain memcpy of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "models/common/ccd_device.h"
#include "models/families/ccd_31mp.h"
#include "models/families/ccd_51mp.h"
#include "usb/grab_state.h"

namespace {

const CcdSpec* const kSpecs[] = {&kSpecQuillard03100KPB, &kSpecQuillard03100KPBV2,
                                 &kSpecQuillard05100KPA, &kSpecQuillard05100KPAV2};

// The blocks of one full frame with the lengths the layout expects, in one slot buffer each.
struct Wire {
  explicit Wire(const FieldLayout& l) : fields(l), frame(fields.frameBytes()) {
    for (uint32_t b = 0; b < l.blocks; ++b) {
      blocks.emplace_back(l.blockBytes, uint8_t(b));
      lengths.push_back(fields.expectedBytes(b));
    }
  }
  FieldAssembler fields;
  std::vector<uint8_t> frame;
  std::vector<std::vector<uint8_t>> blocks;
  std::vector<uint32_t> lengths;
};

void BM_CcdReassembly(benchmark::State& state) {
  const CcdSpec& spec = *kSpecs[state.range(0)];
  CcdDevice device(spec, nullptr, ZX_W("0-8311"));
  Wire wire(spec.modes[0].layout);
  std::vector<const uint8_t*> buffers;
  for (const auto& b : wire.blocks) buffers.push_back(b.data());
  for (auto _ : state) {
    GrabState grab{};
    grab.destination = wire.frame.data();
    grab.blocksTotal = spec.modes[0].layout.blocks;
    grab.lengths = wire.lengths.data();
    grab.buffers = buffers.data();
    wire.fields.reset();
    for (uint32_t b = 0; b < grab.blocksTotal; ++b)
      benchmark::DoNotOptimize(device.OnGrabPacket(&grab, b, &wire.fields));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(wire.frame.size()));
}
BENCHMARK(BM_CcdReassembly)->DenseRange(0, 3);

// Reference: the frame's bytes copied straight, block by block.
void BM_FrameMemcpy(benchmark::State& state) {
  const CcdSpec& spec = *kSpecs[state.range(0)];
  Wire wire(spec.modes[0].layout);
  for (auto _ : state) {
    size_t at = 0;
    for (uint32_t b = 0; b < wire.blocks.size() && at < wire.frame.size(); ++b) {
      const size_t n = std::min<size_t>(wire.lengths[b], wire.frame.size() - at);
      std::memcpy(wire.frame.data() + at, wire.blocks[b].data(), n);
      at += n;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(wire.frame.size()));
}
BENCHMARK(BM_FrameMemcpy)->DenseRange(0, 3);

}  // namespace
