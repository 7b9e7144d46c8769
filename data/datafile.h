// Reading the season's data files: lines of at most 1023 bytes widened to
// wide text, fields split at commas, texts taken out of their quotes and
// numbers read as decimal text.
#pragma once

#include "platform/platform.h"

constexpr int kLineBytes = 1024;  // a line, its end included, is at most 1023 bytes
constexpr int kLineChars = 1024;  // the widened line

// Clears `line`, reads the next line of at most 1023 bytes and widens it
// byte for byte. A trailing CR and LF is removed so that it never becomes
// part of the last field. At the end of the file the line is empty.
// Returns 0 when the stream reports an error.
int ReadDataLine(FILE* file, WCHAR* line);

// Splits `line` in place at commas into at most `maxFields` fields. Runs of
// commas count as one, so an empty field vanishes. Returns the count.
int SplitFields(WCHAR* line, WCHAR** fields, int maxFields);

// The text after a field's leading double quotes up to the next double
// quote, or the field itself when it has none. Cuts `field` in place; a
// missing field or one of quotes alone gives an empty text.
WCHAR* TakeQuotedText(WCHAR* field);

// The field read as a decimal number: leading blanks skipped, reading stops
// at the first character that cannot continue it, no digits give 0.
double ReadNumber(const WCHAR* field);
