#pragma once
// Reading and writing numbers as configuration files hold them, independent of the process
// locale: the C library's decimal conversions in the C locale.

#include <string>
#include <string_view>

namespace quel {

// Optional leading white space, an optional sign and the longest run of decimal digits; 0 when
// there are no digits. A number beyond the int range is clamped to it.
int ReadDecimalInt(std::string_view text);

// Optional leading white space, an optional sign, digits with at most one ".", and an optional
// exponent ("e" or "E", optional sign, digits); 0.0 when nothing fits. A magnitude beyond the
// double range reads as infinity, one below it as zero. "inf", "infinity" and "nan" in any case,
// after the optional sign, read as the values FormatFixed writes so.
double ReadDecimalReal(std::string_view text);

// "%d".
std::string FormatInt(int value);
// "%.<decimals>f" in the C locale: "inf", "-inf", "nan" for the non-finite values.
std::string FormatFixed(double value, int decimals);
// The same appended to out, without a temporary (for writers that must not allocate).
void AppendFixed(std::string& out, double value, int decimals);

// A value as the diagram writes it beside an axis: "%d" for a whole number in the int range,
// "%.2f" otherwise, "N/A" for a value that is not finite.
std::string FormatDiagramValue(double value);

} // namespace quel
