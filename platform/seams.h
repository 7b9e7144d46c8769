// The test seams as the platform's rooms use them (platform/testing.h is
// the tests' side): one shape for every call that can fail, "fail the Nth
// call, once or from then on", and one clock that tests can speed up.
#pragma once

#include <chrono>
#include <string>

namespace platform {

// Before a call that can fail: tells a watching test, then answers 0 to let
// the call run or the system error number it is to fail with.
int CallSeam(const char* operation, const std::string& path);

// The platform's clock: steady time, run faster while a test asks.
using Clock = std::chrono::steady_clock;
Clock::time_point Now();
// Milliseconds of the platform's clock as real ones, for a wait (at least 1
// for any wait of more than 0).
int RealMs(long long platformMs);

}  // namespace platform
