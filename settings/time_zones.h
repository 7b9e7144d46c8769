// The 70 time zones the user can choose from, each with its whole-hour
// offset from US Eastern time.
#pragma once

#include "platform/platform.h"

struct TimeZoneEntry {
    const WCHAR* name;  // as shown in the time zone picker
    int offset;         // hours added to a US Eastern time
};

constexpr int kTimeZoneCount = 70;
constexpr int kDefaultTimeZoneIndex = 11;  // "GMT-5 Eastern US"
// The zones that keep standard time all year.
constexpr int kHawaiiZoneIndex = 2;    // "GMT-10 Hawaii"
constexpr int kArizonaZoneIndex = 6;   // "GMT-7 Arizona"
constexpr int kIndianaZoneIndex = 12;  // "GMT-5 Indiana"
extern const TimeZoneEntry kTimeZones[kTimeZoneCount];
