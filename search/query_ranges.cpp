#include "search/query_ranges.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <climits>
#include <string>

namespace nusk {
namespace {

struct Bounds {
  std::u16string_view lower;
  std::u16string_view upper;
};

// 'a-b' -> (a, b); 'a' -> (a, ""); the first '-' separates.
Bounds SplitBounds(std::u16string_view value) {
  const size_t dash = value.find(u'-');
  if (dash == std::u16string_view::npos) return {value, {}};
  return {value.substr(0, dash), value.substr(dash + 1)};
}

// Leading decimal floating-point part, read as the C library reads it, in ASCII.
double LeadingNumber(std::u16string_view text) {
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) break;
    ascii += static_cast<char>(c);
  }
  return std::strtod(ascii.c_str(), nullptr);
}

// A double to a byte count without undefined conversions: NaN and negatives are 0,
// anything beyond the range saturates.
uint64_t ToByteCount(double v) {
  if (!(v > 0)) return 0;
  if (v >= 18446744073709551615.0) return UINT64_MAX;
  return static_cast<uint64_t>(v);
}

uint64_t ReadSizeBound(std::u16string_view text, char16_t* carried_unit) {
  if (text.empty()) return 0;
  while (!text.empty() && text.back() == u'b') text.remove_suffix(1);
  char16_t unit = *carried_unit;
  if (!text.empty() && text.back() >= u'a' && text.back() <= u'z') {
    unit = text.back();
    text.remove_suffix(1);
  }
  double multiplier = 1;
  switch (unit) {
    case u'k': multiplier = 1024.0; break;
    case u'm': multiplier = 1048576.0; break;
    case u'g': multiplier = 1073741824.0; break;
    default: unit = 0; break;
  }
  *carried_unit = unit;
  return ToByteCount(LeadingNumber(text) * multiplier);
}

// Leading decimal digits; saturates instead of overflowing.
int64_t LeadingInteger(std::u16string_view text, int64_t limit) {
  int64_t v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    v = v * 10 + (c - u'0');
    if (v > limit) return limit;
  }
  return v;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t MidnightUnix(int year, int month, int day, bool local) {
  if (local) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t != static_cast<std::time_t>(-1)) return static_cast<int64_t>(t);
  }
  // Day numbers beyond the month roll over, as mktime would.
  return (DaysFromCivil(year, month, 1) + day - 1) * 86400;
}

// Seconds since the CompactTime epoch (may be negative or beyond 32 bits); -1 when
// the text is not a date (fewer than three characters).
constexpr int64_t kNoDate = INT64_MIN;

int64_t ReadDate(std::u16string_view text, const Today& today) {
  if (text.size() < 3) return kNoDate;
  int year = today.year, month = today.month, day = today.day;
  const size_t n = text.size();
  const int d = static_cast<int>(LeadingInteger(text.substr(n - 2), 99));
  if (d >= 1 && d <= 31) day = d;
  const size_t month_start = n >= 4 ? n - 4 : 0;
  const int m = static_cast<int>(LeadingInteger(text.substr(month_start, n - 2 - month_start), 99));
  if (m >= 1 && m <= 12) month = m;
  if (n == 8) year = static_cast<int>(LeadingInteger(text.substr(0, 4), 9999));
  if (n == 6) year = 2000 + static_cast<int>(LeadingInteger(text.substr(0, 2), 99));
  if (year >= 0 && year <= 99) year += 2000;
  return MidnightUnix(year, month, day, today.local) - 244598400;
}

// Dates outside the 32-bit range clamp to its ends instead of wrapping around.
uint32_t Clamp32(int64_t t) { return t < 0 ? 0 : t > 0xFFFFFFFE ? 0xFFFFFFFE : static_cast<uint32_t>(t); }

bool AllDigits(std::u16string_view s) {
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

// Digits with at most one '.', at least one digit: what the size reader takes whole.
bool DecimalNumber(std::u16string_view s) {
  const size_t dot = s.find(u'.');
  if (dot == std::u16string_view::npos) return !s.empty() && AllDigits(s);
  const std::u16string_view whole = s.substr(0, dot), fraction = s.substr(dot + 1);
  return whole.size() + fraction.size() > 0 && AllDigits(whole) && AllDigits(fraction);
}

bool SizeBoundReadable(std::u16string_view text) {
  if (text.empty()) return true;
  while (!text.empty() && text.back() == u'b') text.remove_suffix(1);
  if (!text.empty() && (text.back() == u'k' || text.back() == u'm' || text.back() == u'g')) text.remove_suffix(1);
  return DecimalNumber(text);
}

bool DateBoundReadable(std::u16string_view text) {
  const size_t n = text.size();
  if (n == 0) return true;
  if (!AllDigits(text) || (n != 3 && n != 4 && n != 6 && n != 8)) return false;
  const int day = static_cast<int>(LeadingInteger(text.substr(n - 2), 99));
  const size_t month_start = n >= 4 ? n - 4 : 0;
  const int month = static_cast<int>(LeadingInteger(text.substr(month_start, n - 2 - month_start), 99));
  return day >= 1 && day <= 31 && month >= 1 && month <= 12;
}

// Both bounds readable by `bound` and at least one of them given.
template <class Bound>
bool RangeReadable(std::u16string_view value, Bound bound) {
  const Bounds b = SplitBounds(value);
  return !(b.lower.empty() && b.upper.empty()) && bound(b.lower) && bound(b.upper);
}

}  // namespace

bool SizeRangeReadable(std::u16string_view value) { return RangeReadable(value, SizeBoundReadable); }
bool DateRangeReadable(std::u16string_view value) { return RangeReadable(value, DateBoundReadable); }
bool CountRangeReadable(std::u16string_view value) { return RangeReadable(value, AllDigits); }

bool HashValueReadable(std::u16string_view value) {
  if (value.empty() || value.size() > 8) return false;
  for (char16_t c : value) {
    const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (!hex) return false;
  }
  return true;
}

SizeRange ParseSizeRange(std::u16string_view value) {
  const Bounds b = SplitBounds(value);
  char16_t unit = 0;
  SizeRange r;
  const uint64_t upper = ReadSizeBound(b.upper, &unit);
  r.lower = ReadSizeBound(b.lower, &unit);
  r.upper = upper == 0 ? UINT64_MAX : upper;
  return r;
}

Today Today::Now() {
  const std::time_t now = std::time(nullptr);
  const int64_t days = static_cast<int64_t>(now) / 86400;
  // Civil date from a day number (inverse of DaysFromCivil).
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  Today t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.local = true;
  return t;
}

uint32_t UnixToCompactTime(int64_t unix_seconds) {
  // CompactTime counts from 1977-10-02 00:00 UTC, which is Unix second 244598400.
  return static_cast<uint32_t>(static_cast<uint64_t>(unix_seconds - 244598400));
}

DateRange ParseDateRange(std::u16string_view value, const Today& today) {
  const Bounds b = SplitBounds(value);
  DateRange r;
  const int64_t upper = ReadDate(b.upper, today);
  const int64_t lower = ReadDate(b.lower, today);
  r.lower = lower == kNoDate ? 0 : Clamp32(lower);
  if (upper == kNoDate || upper == 0) return r;  // no upper limit
  if (upper < -86400) {                          // ends before the first representable day
    r.upper = 0;
    r.end = 0;
    return r;
  }
  r.upper = Clamp32(upper);
  // The last day is included whole; an end past the 32-bit range saturates.
  r.end = upper + 86400 >= 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(upper + 86400);
  return r;
}

CountRange ParseCountRange(std::u16string_view value) {
  const Bounds b = SplitBounds(value);
  CountRange r;
  r.lower = static_cast<int32_t>(LeadingInteger(b.lower, 2147483647));
  if (r.lower < 2) r.lower = 0;
  const int32_t upper = static_cast<int32_t>(LeadingInteger(b.upper, 2147483647));
  r.upper = upper == 0 ? 2147483647 : upper;
  return r;
}

uint32_t ParseHashValue(std::u16string_view text) {
  uint64_t v = 0;
  for (char16_t c : text) {
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else break;
    v = v * 16 + digit;
    if (v > 0xFFFFFFFFu) return 0xFFFFFFFF;
  }
  return static_cast<uint32_t>(v);
}

}  // namespace nusk
