// Event hand-off between two threads, beside a plain std::condition_variable hand-off.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/event.h"

namespace {

void BM_EventPingPong(benchmark::State& state) {
  platform::Event ping, pong;
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    while (ping.wait() && !stop) pong.set();
  });
  for (auto _ : state) {
    ping.set();
    pong.wait();
  }
  stop = true;
  ping.set();
  peer.join();
}
BENCHMARK(BM_EventPingPong);

// Reference: the same hand-off with a dedicated mutex and condition variable.
void BM_CondVarPingPong(benchmark::State& state) {
  std::mutex m;
  std::condition_variable cv;
  int turn = 0;
  bool stop = false;
  std::thread peer([&] {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      cv.wait(lock, [&] { return turn == 1 || stop; });
      if (stop) return;
      turn = 0;
      cv.notify_all();
    }
  });
  for (auto _ : state) {
    std::unique_lock<std::mutex> lock(m);
    turn = 1;
    cv.notify_all();
    cv.wait(lock, [&] { return turn == 0; });
  }
  {
    std::lock_guard<std::mutex> lock(m);
    stop = true;
  }
  cv.notify_all();
  peer.join();
}
BENCHMARK(BM_CondVarPingPong);

}  // namespace
