#pragma once
// Whole files read and written as bytes, and the small text helpers tests use on them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quel::test {

// The file's bytes; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Replaces the file's contents in place (creating it); whether all of it was written.
bool WriteFile(const std::filesystem::path& path, std::string_view content);

// The lines of a text, without their "\n".
std::vector<std::string> SplitLines(const std::string& text);
// How many times part occurs in text, without overlaps.
int CountOf(const std::string& text, const std::string& part);

} // namespace quel::test
