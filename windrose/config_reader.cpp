// Splitting a configuration file into pieces, keys and values.

#include "windrose/config_reader.h"

namespace quel {

void SplitKeyValue(std::string_view text, ConfigLine& line)
{
    const std::size_t eq = text.find('=');
    line.hasEquals = eq != std::string_view::npos;
    if (line.hasEquals) {
        line.key.assign(text.substr(0, eq));
        line.value.assign(text.substr(eq + 1));
    } else {
        line.key.assign(text);
        line.value.assign(text);
    }
}

// One byte of the source, EOF at its end or on an error.
int ConfigReader::GetByte()
{
    if (file_ == nullptr)
        return next_ < text_.size() ? static_cast<unsigned char>(text_[next_++]) : EOF;
    return std::getc(file_);
}

// One byte of the file with CR LF turned into LF; EOF at the end or on an error.
int ConfigReader::Get()
{
    int c;
    if (hasPending_) {
        hasPending_ = false;
        c = pending_;
    } else {
        c = GetByte();
    }
    if (c == '\r') {
        const int next = GetByte();
        if (next == '\n')
            return '\n';
        pending_ = next;
        hasPending_ = true;
    }
    if (c == EOF && file_ != nullptr && std::ferror(file_))
        failed_ = true;
    return c;
}

bool ConfigReader::ReadPiece(std::string& piece)
{
    piece.clear();
    while (piece.size() < PieceLength) {
        const int c = Get();
        if (c == EOF)
            break;
        piece.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !piece.empty();
}

bool ConfigReader::Next(ConfigLine& line)
{
    std::string piece;
    while (!failed_ && ReadPiece(piece)) {
        const int number = lineNumber_;
        const bool endsLine = piece.back() == '\n';
        if (endsLine)
            ++lineNumber_;
        if (piece.front() == '#')
            continue;
        std::string_view text = piece;
        if (endsLine)
            text.remove_suffix(1);
        text = text.substr(0, text.find('\0'));
        line.lineNumber = number;
        SplitKeyValue(text, line);
        return true;
    }
    return false;
}

} // namespace quel
