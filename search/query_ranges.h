// Value syntaxes of the "/size:", "/date:", "/dup:" and "/hash:" switches.
// Pure functions; a value that cannot be read gives the documented neutral bound,
// never an error (the query language reports none).
#pragma once
#include <cstdint>
#include <string_view>

namespace nusk {

struct SizeRange {
  uint64_t lower = 0;
  uint64_t upper = UINT64_MAX;  // inclusive; "no upper limit" is UINT64_MAX
};

// 'a-b', 'a-', '-b' or 'a'; units k, m, g (binary) with an optional trailing "b";
// the unit of the bound read first (the upper one) carries to the other.
SizeRange ParseSizeRange(std::u16string_view value);

// The day that date bounds without a year or month fall back to, and how a calendar date
// becomes a point in time: local midnight (the user's view) or UTC midnight (tests).
struct Today {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  bool local = true;
  // The current date on the UTC clock, with local conversion.
  static Today Now();
};

struct DateRange {
  uint32_t lower = 0;
  uint32_t upper = 0xFFFFFFFF;  // CompactTime of the start of the last day
  uint32_t end = 0xFFFFFFFF;    // exclusive end: upper + one day, saturated
};

// Dates 'mmdd', 'mdd', 'yymmdd' or 'yyyymmdd', separated by "-"; an invalid or
// missing upper bound means no limit.
DateRange ParseDateRange(std::u16string_view value, const Today& today);

// Seconds since 1970-01-01 UTC -> the index's 32-bit CompactTime.
uint32_t UnixToCompactTime(int64_t unix_seconds);

struct CountRange {
  int32_t lower = 0;
  int32_t upper = 2147483647;
};

// Duplicate counts 'a-b' etc.; a lower bound below 2 is 0, an upper bound of 0 is no limit.
CountRange ParseCountRange(std::u16string_view value);

// Leading hexadecimal digits as a 32-bit value; no digit gives 0; more than eight
// significant digits saturate at 0xFFFFFFFF.
uint32_t ParseHashValue(std::u16string_view text);

// Whether a value reads exactly as written: every character belongs to the syntax above
// and at least one bound is given. The parsers accept anything (the window and the web
// service show what a value gives); a console caller uses these to report a typo such
// as '/size:>10k' (which reads as "any size") instead of running it.
bool SizeRangeReadable(std::u16string_view value);
bool DateRangeReadable(std::u16string_view value);  // bounds 'mdd', 'mmdd', 'yymmdd', 'yyyymmdd'
bool CountRangeReadable(std::u16string_view value);
bool HashValueReadable(std::u16string_view value);  // one to eight hexadecimal digits

}  // namespace nusk
