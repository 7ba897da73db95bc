#pragma once
// Numbers in dialog fields: shown with up to 15 significant digits and read as typed, both in
// the C conventions (a "." for the decimals, no thousands separators) whatever the user's
// locale, so that what is shown reads back as the same number.

#include <string>
#include <string_view>

namespace quel::desktop {

// Up to 15 significant digits: 100, 0.25, 1e+20.
std::string FormatNumber(double value);

// A finite number, optionally signed, with blanks around it; false for anything else.
bool ReadNumber(std::string_view text, double& value);

enum class IntegerField {
    Ok,
    NotInteger,  // "Please enter an integer."
    OutOfRange,  // "Please enter an integer between %1 and %2."
};
// A whole number within minimum..maximum, optionally signed, with blanks around it.
IntegerField ReadInteger(std::string_view text, int minimum, int maximum, int& value);

// The message of a failed integer field, with its range filled in.
std::string IntegerFieldMessage(IntegerField result, int minimum, int maximum);

} // namespace quel::desktop
