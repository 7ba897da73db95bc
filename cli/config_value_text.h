#pragma once
// Whether a profile value reads exactly as written by the configuration reader's number rules,
// and the blank handling the checks share.

#include <string_view>

namespace quel::cli {

bool IsBlank(char c);
std::string_view Trim(std::string_view text);
// An int as written (leading blanks and a "+" allowed), within the int range.
bool IsCleanInt(std::string_view value);
// A decimal real as written (digits, one ".", an exponent), of finite size.
bool IsCleanReal(std::string_view value);

} // namespace quel::cli
