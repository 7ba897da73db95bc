#pragma once
// Splits a configuration file (or its text) into the pieces its reader handles, as the C library's line
// reading with a 2047-byte buffer does: a piece holds at most 2046 characters, a longer line
// is cut into several pieces. CR LF counts as one line end. A piece that starts with "#" is a
// comment and skipped. The line end is removed, the text stops at a NUL byte, and the rest is
// split into key and value at the first "=" (a piece without "=" is its own key and value).
// Never holds more than one piece in memory, whatever the file holds.

#include <cstdio>
#include <string>
#include <string_view>

namespace quel {

struct ConfigLine {
    int lineNumber = 0;    // 1-based line of the file the piece comes from
    std::string key;
    std::string value;
    bool hasEquals = false;
};

// Splits one piece (without its line end) at the first "=".
void SplitKeyValue(std::string_view text, ConfigLine& line);

class ConfigReader {
public:
    static constexpr std::size_t PieceLength = 2046;

    // Reads from an open file; the caller keeps it open while reading and closes it.
    explicit ConfigReader(std::FILE* file) : file_(file) {}
    // Reads text already in memory, piece by piece as from a file; the caller keeps it alive.
    explicit ConfigReader(std::string_view text) : text_(text) {}

    // The next piece that is not a comment; false at the end of the file or on a read error.
    bool Next(ConfigLine& line);
    // True when reading stopped because of a read error rather than the end of the file.
    bool Failed() const { return failed_; }

private:
    // Reads one raw piece, with its "\n" when the line ended within it; false at the end.
    bool ReadPiece(std::string& piece);
    int GetByte();
    int Get();

    std::FILE* file_ = nullptr;
    std::string_view text_;
    std::size_t next_ = 0;
    int pending_ = EOF;       // a byte read ahead after a CR
    bool hasPending_ = false;
    int lineNumber_ = 1;
    bool failed_ = false;
};

} // namespace quel
