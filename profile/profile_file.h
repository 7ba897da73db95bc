#pragma once
// ProfileFile: the one answer to "is this file a profile?", given by every program before it
// loads a file. Loading reads any text without complaint, so without this a folder, a device
// or /etc/passwd renamed to .qlmd would "load" as an empty profile, log nothing, and the desktop
// program would later save a profile over it.
//
// The rule: a regular file of at most MaxProfileSize bytes, text (no NUL byte), holding the
// profile header line or an axis section ("BeginAxis" on a line of its own). Every profile the
// programs write has both; a hand-written one has at least its counters.

#include "platform/regular_file.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quel {

// 32 axes with names, descriptions and counter paths of the longest readable lines take about
// 200 KiB; anything larger is something else.
inline constexpr std::size_t MaxProfileSize = std::size_t{1} << 20;

class ProfileFile {
public:
    // Opens the file once (without blocking, regular files only), reads it and judges it.
    static ProfileFile Read(const std::string& path);

    bool IsProfile() const { return isProfile_; }
    // Why the file is not a profile ("No such file or directory", "not a profile (binary
    // data)", ...); empty for a profile.
    const std::string& Reason() const { return reason_; }
    // The file's whole content (empty unless read).
    const std::string& Text() const { return text_; }

private:
    bool isProfile_ = false;
    std::string reason_;
    std::string text_;
};

// The rule on text already read: true for a profile, else false with the reason.
bool IsProfileText(std::string_view text, std::string& reason);

} // namespace quel
