#pragma once
// Number texts: integers, the fixed masks of views and the general float text that
// the registry keeps.
#include <cstdint>
#include <string>
#include <string_view>

namespace tk {

// Process decimal separator used by FormatFloat ('.' until set).
char DecimalSeparator();
void SetDecimalSeparator(char c);
// The user locale's decimal separator (LOCALE_SDECIMAL; '.' when it cannot be read
// or is not a single ASCII character).
char LocaleDecimalSeparator();

std::string IntToStr(int64_t value);
// Upper-case hex, at least `digits` digits (zero padded).
std::string IntToHex(uint64_t value, int digits);

// Integer text as the settings read it: surrounding chars <= ' ' are ignored; an
// optional '+' or '-'; then decimal digits, or hex digits after "$", "0x" or "0X".
// Anything else (an empty text, letters, a trailing dot, an out-of-range value)
// fails. A 32-bit hex text may use all 32 bits ("$FFFFFFFF" is -1), as may a 64-bit one.
bool TryStrToInt(std::string_view text, int32_t* value);
bool TryStrToInt64(std::string_view text, int64_t* value);
int32_t StrToIntDef(std::string_view text, int32_t def);
int64_t StrToInt64Def(std::string_view text, int64_t def);

// General float text: rounded to 15 significant digits, trailing zeros dropped, no
// decimal point for a whole number, exponent form ("1.5E-6", "1E15", "-2.5E20")
// only when the decimal exponent is below -5 or 15 or more. `sep` is the decimal
// separator. NaN and infinities give "NAN", "INF", "-INF".
std::string FloatToStr(double value, char sep = '.');
// Strict parse with the given decimal separator: optional surrounding chars <= ' ',
// optional sign, digits with at most one separator, optional exponent (E or e with
// optional sign and digits). Anything else fails and leaves *value unchanged.
bool TryStrToFloat(std::string_view text, double* value, char sep = '.');
double StrToFloatDef(std::string_view text, double def, char sep = '.');

// Formats with a mask of '0' (digit always shown), '#' (digit when significant),
// '.' (the decimal point, shown as DecimalSeparator()), ',' in the integer part
// (thousands separators, shown as ','), e.g. "0.00000", "0.0", "#,##0.00", "0".
// Rounds half away from zero at the mask's last decimal. Quoted text ("..." or
// '...') is copied; a ';' section for negatives is not supported (the minus sign
// is written in front). A negative value that rounds to zero is written without sign.
std::string FormatFloat(std::string_view mask, double value);

}  // namespace tk
