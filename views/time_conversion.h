// Eastern kick-off dates and times shown in the user's time zone: whole-hour
// offsets, a fixed daylight-saving correction for three zones, and the
// Eastern date kept even when the shifted hour passes midnight.
#pragma once

#include "platform/platform.h"

constexpr int kConvertedChars = 256;  // each shared output text
constexpr int kClockChars = 128;      // a clock text buffer

extern WCHAR g_gameDateText[kConvertedChars];  // "MM/dd" of the last date cell converted
extern WCHAR g_gameTimeText[kConvertedChars];  // its kick-off on the zone's 12-hour clock

// Converts a date cell ("month/day/year hour:minute", Eastern) into the
// game date text and the game time text. An invalid date leaves the date
// text empty; an invalid time leaves the time text empty.
void ConvertGameDateTime(const WCHAR* dateCell);

// Rewrites an Eastern "hour:minute" text in place as the zone's 12-hour
// clock text ("1:00p"); no daylight-saving correction. Returns the buffer,
// or NULL when the text is not a valid time. `clock` holds kClockChars.
WCHAR* ConvertClockTime(WCHAR* clock);

// True when Eastern clocks run on daylight time on this date, by the
// program's fixed days: April 4 to October 25.
bool IsDaylightSaving(int month, int day);
