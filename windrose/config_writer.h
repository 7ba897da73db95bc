#pragma once
// Collects the lines of a configuration block (profile) in memory. Every line ends with CR LF;
// numbers are written in the C locale ("%d", and "%f" with six decimals).

#include <string>
#include <string_view>

namespace quel {

class ConfigWriter {
public:
    void Line(std::string_view text);                       // "%s\n"
    void Key(std::string_view key, std::string_view value); // "%s=%s\n"
    void Key(std::string_view key, const char* value) { Key(key, std::string_view(value)); }
    void Key(std::string_view key, int value);              // "%s=%d\n"
    void KeyReal(std::string_view key, double value);       // "%s=%f\n"

    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// "%f" of the C library in the C locale: fixed notation, six decimals; "inf", "-inf", "nan".
std::string FormatFixed6(double value);

} // namespace quel
