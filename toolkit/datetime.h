#pragma once
// Date-time values: days since 30 December 1899 as a double, the time of day as the
// fraction (0.5 is noon). Values are in local time unless a name says otherwise.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

using TDateTime = double;

// Current local date and time (to the millisecond) / today at 00:00.
TDateTime Now();
TDateTime Date();

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Encode: false when a part is out of range (year 1..9999, month 1..12, day 1..days
// in month; hour 0..23, minute and second 0..59, millisecond 0..999).
bool TryEncodeDate(int year, int month, int day, TDateTime* value);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime* value);
// As above, returning 0 for parts out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
// Decode the date part / the time part (rounded to the nearest millisecond).
void DecodeDate(TDateTime value, int* year, int* month, int* day);
void DecodeTime(TDateTime value, int* hour, int* minute, int* second, int* msec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

// Process format settings used by FormatDateTime. Defaults: '/' date separator,
// ':' time separator, short date "m/d/yyyy", short time "h:nn", long time
// "h:nn:ss AM/PM" (the settings store's SetTimeFormat sets "hh:nn" or "hh:nn AM/PM").
void SetDateSeparator(char c);
void SetTimeSeparator(char c);
void SetShortDateFormat(std::string_view format);
void SetShortTimeFormat(std::string_view format);
std::string LongTimeFormat();
void SetLongTimeFormat(std::string_view format);

// Formats a date-time with format letters (case-insensitive):
//   d dd (day) ddd dddd (short/long English day name) ddddd (short date) dddddd (long date)
//   m mm (month) mmm mmmm (short/long English month name); m/mm right after h/hh
//   (blanks and separators between allowed) means minutes
//   yy yyyy, h hh, n nn, s ss, z zzz (milliseconds)
//   AM/PM am/pm a/p (12-hour clock for the preceding h/hh; written in the case given)
//   ampm (the English "AM"/"PM"), c (short date, then long time when the time is not 0),
//   t (short time) tt (long time), / (date separator), : (time separator),
//   "..." and '...' literals. Every other character is copied as it is.
// An empty format is "c".
std::string FormatDateTime(std::string_view format, TDateTime value);

// SYSTEMTIME <-> TDateTime (no time-zone change). DateTimeToSystemTime fails (false)
// outside years 1601..30827.
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);
bool DateTimeToSystemTime(TDateTime value, SYSTEMTIME* st);
// A FILETIME as the file system keeps it (UTC) <-> local TDateTime.
bool FileTimeToDateTime(const FILETIME& utc, TDateTime* value);
bool DateTimeToFileTime(TDateTime value, FILETIME* utc);
// The DOS packed date-time of a directory entry or zip entry (local time):
// high 16 bits date (year-1980 << 9 | month << 5 | day), low 16 bits time
// (hour << 11 | minute << 5 | second / 2). Conversions fail (false) for values
// outside 1980..2107 or invalid packed fields.
bool DosDateTimeToDateTime(uint32_t packed, TDateTime* value);
bool DateTimeToDosDateTime(TDateTime value, uint32_t* packed);
// UTC FILETIME -> local DOS packed date-time, 0 when it cannot be converted.
uint32_t FileTimeToDosTime(const FILETIME& utc);

}  // namespace tk
