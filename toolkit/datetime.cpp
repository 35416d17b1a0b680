#include "toolkit/datetime.h"

#include <cmath>
#include <cstdio>

namespace tk {

namespace {
constexpr int64_t kMsPerDay = 86400000;
// Days from 1 January of year 1 (day 0) to 30 December 1899 in the proleptic Gregorian calendar.
constexpr int64_t kEpochOffset = 693593;

std::string g_shortDate = "m/d/yyyy";
std::string g_shortTime = "h:nn";
std::string g_longTime = "h:nn:ss AM/PM";
const char* const kLongDate = "dddd, mmmm d, yyyy";
char g_dateSep = '/';
char g_timeSep = ':';

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Splits a value into whole days (toward zero) and milliseconds of the time of day,
// which counts from midnight also for dates before 1899 (the fraction's magnitude).
void Split(TDateTime value, int64_t* days, int64_t* ms) {
  double whole = std::trunc(value);
  int64_t d = static_cast<int64_t>(whole);
  int64_t m = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (m >= kMsPerDay) {
    m -= kMsPerDay;
    d += value < 0 ? -1 : 1;
  }
  *days = d;
  *ms = m;
}

// Day number since 1 January of year 1 (that day is 0) <-> civil date.
int64_t DaysFromCivil(int y, int m, int d) {
  int64_t yy = y - 1;
  int64_t n = yy * 365 + yy / 4 - yy / 100 + yy / 400;
  static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  n += kBefore[m - 1] + (m > 2 && IsLeapYear(y) ? 1 : 0);
  return n + d - 1;
}

void CivilFromDays(int64_t n, int* y, int* m, int* d) {
  // Shift to a 400-year cycle starting 1 March of year 0 (Howard Hinnant's method).
  int64_t z = n + 306;  // days since 1 March of year 0
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t yy = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int dd = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int mm = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (mm <= 2 ? 1 : 0));
  *m = mm;
  *d = dd;
}

void AppendNumber(std::string& out, int value, int minDigits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", minDigits, value);
  out += buf;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool StartsNoCase(std::string_view s, size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (Upper(s[at + i]) != Upper(word[i])) return false;
  return true;
}

struct Parts {
  int year, month, day, hour, minute, second, msec, dow;
};

void Format(std::string& out, std::string_view f, const Parts& t, int depth) {
  if (depth > 2) return;  // a format setting that names itself must not loop
  char lastToken = ' ';
  bool use12 = false;
  size_t p = 0, n = f.size();
  while (p < n) {
    char c = f[p];
    char token = Upper(c);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    auto count = [&] {
      size_t start = p;
      while (p < n && Upper(f[p]) == Upper(c)) ++p;
      return static_cast<int>(p - start);
    };
    switch (token) {
      case 'Y': {
        int k = count();
        if (k <= 2)
          AppendNumber(out, t.year % 100, 2);
        else
          AppendNumber(out, t.year, 4);
        break;
      }
      case 'M': {
        int k = count();
        if (k <= 2)
          AppendNumber(out, t.month, k);
        else
          out += (k == 3 ? kShortMonths : kLongMonths)[t.month - 1];
        break;
      }
      case 'D': {
        int k = count();
        if (k <= 2)
          AppendNumber(out, t.day, k);
        else if (k == 3)
          out += kShortDays[t.dow - 1];
        else if (k == 4)
          out += kLongDays[t.dow - 1];
        else
          Format(out, k == 5 ? std::string_view(g_shortDate) : std::string_view(kLongDate), t, depth + 1);
        break;
      }
      case 'H': {
        int k = count();
        // A 12-hour clock when an AM/PM marker follows before the next hour.
        bool quoted = false;
        use12 = false;
        for (size_t q = p; q < n; ++q) {
          char u = Upper(f[q]);
          if (f[q] == '"' || f[q] == '\'') {
            quoted = !quoted;
          } else if (!quoted && u == 'A') {
            use12 = StartsNoCase(f, q, "AM/PM") || StartsNoCase(f, q, "A/P") || StartsNoCase(f, q, "AMPM");
            break;
          } else if (!quoted && u == 'H') {
            break;
          }
        }
        int h = t.hour;
        if (use12) h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
        AppendNumber(out, h, k > 2 ? 2 : k);
        break;
      }
      case 'N': {
        int k = count();
        AppendNumber(out, t.minute, k > 2 ? 2 : k);
        break;
      }
      case 'S': {
        int k = count();
        AppendNumber(out, t.second, k > 2 ? 2 : k);
        break;
      }
      case 'Z': {
        int k = count();
        AppendNumber(out, t.msec, k > 3 ? 3 : k);
        break;
      }
      case 'T': {
        int k = count();
        Format(out, k == 1 ? g_shortTime : g_longTime, t, depth + 1);
        break;
      }
      case 'C': {
        count();
        Format(out, g_shortDate, t, depth + 1);
        if (t.hour || t.minute || t.second || t.msec) {
          out += ' ';
          Format(out, g_longTime, t, depth + 1);
        }
        break;
      }
      case 'A': {
        bool pm = t.hour >= 12;
        if (StartsNoCase(f, p, "AM/PM")) {
          out.append(f.substr(pm ? p + 3 : p, 2));
          p += 5;
        } else if (StartsNoCase(f, p, "A/P")) {
          out += f[pm ? p + 2 : p];
          p += 3;
        } else if (StartsNoCase(f, p, "AMPM")) {
          out += pm ? "PM" : "AM";
          p += 4;
        } else {
          out += c;
          ++p;
        }
        break;
      }
      case '/':
        out += g_dateSep;
        ++p;
        break;
      case ':':
        out += g_timeSep;
        ++p;
        break;
      case '"':
      case '\'': {
        size_t close = f.find(c, p + 1);
        if (close == std::string_view::npos) close = n;
        out.append(f.substr(p + 1, close - p - 1));
        p = close < n ? close + 1 : n;
        break;
      }
      default:
        out += c;
        ++p;
        break;
    }
  }
}
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime* value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  *value = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime* value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  *value = ((hour * 3600000.0) + minute * 60000.0 + second * 1000.0 + msec) / kMsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime v = 0;
  return TryEncodeDate(year, month, day, &v) ? v : 0;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime v = 0;
  return TryEncodeTime(hour, minute, second, msec, &v) ? v : 0;
}

void DecodeDate(TDateTime value, int* year, int* month, int* day) {
  int64_t days, ms;
  Split(value, &days, &ms);
  CivilFromDays(days + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int* hour, int* minute, int* second, int* msec) {
  int64_t days, ms;
  Split(value, &days, &ms);
  *hour = static_cast<int>(ms / 3600000);
  *minute = static_cast<int>(ms / 60000 % 60);
  *second = static_cast<int>(ms / 1000 % 60);
  *msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime value) {
  int64_t days, ms;
  Split(value, &days, &ms);
  // Day 0, 30 December 1899, was a Saturday.
  return static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
}

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return SystemTimeToDateTime(st);
}

TDateTime Date() { return std::trunc(Now()); }

void SetDateSeparator(char c) { g_dateSep = c; }
void SetTimeSeparator(char c) { g_timeSep = c; }
void SetShortDateFormat(std::string_view format) { g_shortDate = format; }
void SetShortTimeFormat(std::string_view format) { g_shortTime = format; }
std::string LongTimeFormat() { return g_longTime; }
void SetLongTimeFormat(std::string_view format) { g_longTime = format; }

std::string FormatDateTime(std::string_view format, TDateTime value) {
  Parts t{};
  DecodeDate(value, &t.year, &t.month, &t.day);
  DecodeTime(value, &t.hour, &t.minute, &t.second, &t.msec);
  t.dow = DayOfWeek(value);
  std::string out;
  Format(out, format.empty() ? std::string_view("c") : format, t, 0);
  return out;
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  TDateTime d = EncodeDate(st.wYear, st.wMonth, st.wDay);
  TDateTime t = EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
  return d >= 0 ? d + t : d - t;
}

bool DateTimeToSystemTime(TDateTime value, SYSTEMTIME* st) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, &y, &mo, &d);
  if (y < 1601 || y > 30827) return false;
  DecodeTime(value, &h, &mi, &s, &ms);
  *st = SYSTEMTIME{};
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(mo);
  st->wDay = static_cast<WORD>(d);
  st->wDayOfWeek = static_cast<WORD>(DayOfWeek(value) - 1);
  st->wHour = static_cast<WORD>(h);
  st->wMinute = static_cast<WORD>(mi);
  st->wSecond = static_cast<WORD>(s);
  st->wMilliseconds = static_cast<WORD>(ms);
  return true;
}

bool FileTimeToDateTime(const FILETIME& utc, TDateTime* value) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  *value = SystemTimeToDateTime(st);
  return true;
}

bool DateTimeToFileTime(TDateTime value, FILETIME* utc) {
  SYSTEMTIME st;
  FILETIME local;
  return DateTimeToSystemTime(value, &st) && SystemTimeToFileTime(&st, &local) &&
         LocalFileTimeToFileTime(&local, utc);
}

bool DosDateTimeToDateTime(uint32_t packed, TDateTime* value) {
  int year = static_cast<int>(packed >> 25) + 1980;
  int month = static_cast<int>(packed >> 21 & 0x0F);
  int day = static_cast<int>(packed >> 16 & 0x1F);
  int hour = static_cast<int>(packed >> 11 & 0x1F);
  int minute = static_cast<int>(packed >> 5 & 0x3F);
  int second = static_cast<int>(packed & 0x1F) * 2;
  TDateTime d, t;
  if (!TryEncodeDate(year, month, day, &d) || !TryEncodeTime(hour, minute, second, 0, &t)) return false;
  *value = d + t;
  return true;
}

bool DateTimeToDosDateTime(TDateTime value, uint32_t* packed) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, &y, &mo, &d);
  if (y < 1980 || y > 2107) return false;
  DecodeTime(value, &h, &mi, &s, &ms);
  *packed = static_cast<uint32_t>(y - 1980) << 25 | static_cast<uint32_t>(mo) << 21 |
            static_cast<uint32_t>(d) << 16 | static_cast<uint32_t>(h) << 11 | static_cast<uint32_t>(mi) << 5 |
            static_cast<uint32_t>(s / 2);
  return true;
}

uint32_t FileTimeToDosTime(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToDosDateTime(&local, &date, &time)) return 0;
  return static_cast<uint32_t>(date) << 16 | time;
}

}  // namespace tk
