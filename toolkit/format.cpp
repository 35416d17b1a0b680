#include "toolkit/format.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "toolkit/strings.h"

namespace tk {

namespace {
char g_decimalSep = '.';

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses the integer text into magnitude and sign; `limitDec` bounds a decimal
// magnitude (the negative side may reach one more), `limitHex` a hex magnitude.
bool ParseInteger(std::string_view text, uint64_t limitDec, uint64_t limitHex, bool* negative,
                  uint64_t* magnitude, bool* hex) {
  std::string t = Trim(text);
  size_t p = 0;
  *negative = false;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) *negative = t[p++] == '-';
  *hex = false;
  if (p < t.size() && t[p] == '$') {
    *hex = true;
    ++p;
  } else if (p + 1 < t.size() && t[p] == '0' && (t[p + 1] == 'x' || t[p + 1] == 'X')) {
    *hex = true;
    p += 2;
  }
  if (p >= t.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = *hex ? limitHex : limitDec + (*negative ? 1 : 0);
  for (; p < t.size(); ++p) {
    int d = *hex ? HexDigit(t[p]) : (IsDigit(t[p]) ? t[p] - '0' : -1);
    if (d < 0) return false;
    const uint64_t base = *hex ? 16 : 10;
    if (v > (limit - static_cast<uint64_t>(d)) / base) return false;
    v = v * base + static_cast<uint64_t>(d);
  }
  *magnitude = v;
  return true;
}

// The value rounded to 15 significant digits: digits "d1..d15" and the decimal
// exponent of d1 (value = d1.d2...d15 * 10^exp). Returns false for NaN/infinity.
bool Digits15(double value, std::string* digits, int* exp, bool* negative) {
  if (!std::isfinite(value)) return false;
  *negative = std::signbit(value) && value != 0;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  // buf: d.dddddddddddddde[+-]xx
  digits->assign(1, buf[0]);
  digits->append(buf + 2, 14);
  *exp = std::atoi(buf + 17);
  if (value == 0) *exp = 0;
  return true;
}
}  // namespace

char DecimalSeparator() { return g_decimalSep; }
void SetDecimalSeparator(char c) { g_decimalSep = c; }

char LocaleDecimalSeparator() {
  wchar_t buf[8] = {};
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8);
  if (n == 2 && buf[0] > L' ' && buf[0] < 0x80) return static_cast<char>(buf[0]);
  return '.';
}

std::string IntToStr(int64_t value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return buf;
}

std::string IntToHex(uint64_t value, int digits) {
  char buf[40];
  if (digits < 0) digits = 0;
  if (digits > 16) digits = 16;
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

bool TryStrToInt(std::string_view text, int32_t* value) {
  bool neg, hex;
  uint64_t mag;
  if (!ParseInteger(text, 0x7FFFFFFF, 0xFFFFFFFF, &neg, &mag, &hex)) return false;
  uint32_t bits = static_cast<uint32_t>(mag);
  if (neg) bits = 0u - bits;
  *value = static_cast<int32_t>(bits);
  return true;
}

bool TryStrToInt64(std::string_view text, int64_t* value) {
  bool neg, hex;
  uint64_t mag;
  if (!ParseInteger(text, 0x7FFFFFFFFFFFFFFFull, ~0ull, &neg, &mag, &hex)) return false;
  if (neg) mag = 0ull - mag;
  *value = static_cast<int64_t>(mag);
  return true;
}

int32_t StrToIntDef(std::string_view text, int32_t def) {
  int32_t v;
  return TryStrToInt(text, &v) ? v : def;
}

int64_t StrToInt64Def(std::string_view text, int64_t def) {
  int64_t v;
  return TryStrToInt64(text, &v) ? v : def;
}

std::string FloatToStr(double value, char sep) {
  std::string digits;
  int exp;
  bool neg;
  if (!Digits15(value, &digits, &exp, &neg)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string r = neg ? "-" : "";
  const int n = static_cast<int>(digits.size());
  if (exp < -5 || exp >= 15) {
    r += digits[0];
    if (n > 1) r.append(1, sep).append(digits, 1);
    r += 'E';
    r += std::to_string(exp);
  } else if (exp < 0) {
    r.append("0").append(1, sep).append(static_cast<size_t>(-exp - 1), '0').append(digits);
  } else if (n <= exp + 1) {
    r.append(digits).append(static_cast<size_t>(exp + 1 - n), '0');
  } else {
    r.append(digits, 0, static_cast<size_t>(exp + 1)).append(1, sep).append(digits, static_cast<size_t>(exp + 1));
  }
  return r;
}

bool TryStrToFloat(std::string_view text, double* value, char sep) {
  std::string t = Trim(text);
  std::string c;  // the text in the C library's form
  size_t p = 0;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) c += t[p++];
  int mantissaDigits = 0;
  while (p < t.size() && IsDigit(t[p])) c += t[p++], ++mantissaDigits;
  if (p < t.size() && t[p] == sep) {
    c += '.';
    ++p;
    while (p < t.size() && IsDigit(t[p])) c += t[p++], ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (p < t.size() && (t[p] == 'e' || t[p] == 'E')) {
    c += 'e';
    ++p;
    if (p < t.size() && (t[p] == '+' || t[p] == '-')) c += t[p++];
    int expDigits = 0;
    while (p < t.size() && IsDigit(t[p])) c += t[p++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (p != t.size()) return false;
  double v = std::strtod(c.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  *value = v;
  return true;
}

double StrToFloatDef(std::string_view text, double def, char sep) {
  double v;
  return TryStrToFloat(text, &v, sep) ? v : def;
}

std::string FormatFloat(std::string_view mask, double value) {
  if (mask.empty()) return FloatToStr(value, g_decimalSep);
  // Read the mask: literal text before the first and after the last placeholder,
  // minimum integer digits, thousands grouping, minimum and maximum decimals.
  std::string prefix, suffix;
  int minInt = 0, minDec = 0, maxDec = 0;
  bool thousands = false, seenPoint = false, seenDigit = false;
  for (size_t p = 0; p < mask.size(); ++p) {
    char ch = mask[p];
    std::string& lit = seenDigit ? suffix : prefix;
    if (ch == '"' || ch == '\'') {
      size_t close = mask.find(ch, p + 1);
      if (close == std::string_view::npos) close = mask.size();
      lit.append(mask.substr(p + 1, close - p - 1));
      p = close;
    } else if (ch == '0' || ch == '#') {
      if (!suffix.empty()) {  // a placeholder after literal text: keep it literal
        suffix += ch;
        continue;
      }
      seenDigit = true;
      if (seenPoint) {
        ++maxDec;
        if (ch == '0') minDec = maxDec;
      } else if (ch == '0') {
        ++minInt;
      }
    } else if (ch == '.' && !seenPoint && suffix.empty()) {
      seenPoint = true;
      seenDigit = true;
    } else if (ch == ',' && !seenPoint && seenDigit && suffix.empty()) {
      thousands = true;
    } else {
      lit += ch;
    }
  }

  std::string digits;
  int exp;
  bool neg;
  if (!Digits15(value, &digits, &exp, &neg)) return FloatToStr(value, g_decimalSep);
  // Round half away from zero at the last decimal shown, on the 15-digit decimal form
  // (so 2.675 shows as 2.68, as it was typed, not as its binary neighbour).
  int keep = exp + 1 + maxDec;  // significant digits that stay
  std::string intPart, fracPart;
  if (keep < 0) {
    digits.clear();
  } else if (keep < 15) {
    bool up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
      if (i >= 0) {
        ++digits[static_cast<size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++exp;
      }
    }
  }
  // digits now stand for value = 0.d1d2... * 10^(exp+1); lay them out.
  for (int pos = exp > 0 ? exp : 0; pos >= -maxDec; --pos) {
    int idx = exp - pos;  // index into digits of the digit at 10^pos
    char d = (idx >= 0 && idx < static_cast<int>(digits.size())) ? digits[static_cast<size_t>(idx)] : '0';
    if (pos >= 0)
      intPart += d;
    else
      fracPart += d;
  }
  size_t lead = 0;
  while (lead < intPart.size() && intPart[lead] == '0') ++lead;
  intPart.erase(0, lead);
  while (static_cast<int>(fracPart.size()) > minDec && fracPart.back() == '0') fracPart.pop_back();
  bool zero = intPart.find_first_not_of('0') == std::string::npos && fracPart.find_first_not_of('0') == std::string::npos;
  while (static_cast<int>(intPart.size()) < minInt) intPart.insert(intPart.begin(), '0');
  if (thousands)
    for (int i = static_cast<int>(intPart.size()) - 3; i > 0; i -= 3) intPart.insert(static_cast<size_t>(i), 1, ',');

  std::string r = prefix;
  if (neg && !zero) r += '-';
  r += intPart;
  if (!fracPart.empty()) r.append(1, g_decimalSep).append(fracPart);
  return r + suffix;
}

}  // namespace tk
