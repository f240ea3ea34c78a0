// simctl: sends one command to the simulated cameras' driver shim and prints its reply.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/wine/shim_client.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: simctl <command> <camera> [value] [times]\n"
                 "  configure: unplug 0|1, genfail 0|1, period ms, scene order (4: pattern),\n"
                 "             chart [reference exposure us], abortdelay ms\n"
                 "  inject:    readerror code [times], stall frame\n"
                 "  observe:   log, clear, outstanding, frames, st4 (guide pulses), pipe (loopback "
                 "bytes)\n");
    return 2;
  }
  std::string command;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command += ' ';
    command += argv[i];
  }
  // The shim stops with the last process of the prefix; a command starts it again.
  if (!ShimRunning()) {
    std::fprintf(stderr, "simctl: no driver shim (%lu)\n", GetLastError());
    return 1;
  }
  const std::optional<std::string> reply = ShimRequest(command);
  if (!reply) return std::fprintf(stderr, "simctl: %lu\n", GetLastError()), 1;
  std::fputs(reply->c_str(), stdout);
  std::fputs("\n", stdout);
  return 0;
}
