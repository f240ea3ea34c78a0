// Talking to the simulated cameras' driver shim: starting its service and sending it commands.
#pragma once

#include <optional>
#include <string>

// Starts the shim's service when its control link is missing (it stops with the last process of
// a prefix) and waits up to 10 s for the link, or for `deviceLink` when one is named.
bool ShimRunning(const wchar_t* deviceLink = nullptr);

// One command (e.g. "unplug 0 1"): the shim's reply, or nothing when the shim cannot be reached
// or fails the request (GetLastError tells why).
std::optional<std::string> ShimRequest(const std::string& command);
// The reply, or "failed"; for callers that compare replies.
inline std::string ShimCommand(const std::string& command) {
  return ShimRequest(command).value_or("failed");
}

// Puts camera 0 back on the test pattern it starts with ("scene" above 3 means the pattern): a
// chart left showing would be the picture of every later test in the prefix.
inline std::string ShimShowPattern() {
  return ShimCommand("scene 0 4");
}
