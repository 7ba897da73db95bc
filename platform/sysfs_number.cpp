#include "platform/sysfs_number.h"

#include "platform/text_scan.h"

#include <utility>

namespace quel {

bool ParseSysfsInteger(std::string_view text, std::int64_t& value)
{
    return text::ParseI64(text::Trim(text), value);
}

SysfsNumber::SysfsNumber(std::string path, SysfsParse parse) : file_(std::move(path)), parse_(parse) {}

bool SysfsNumber::Get(std::uint64_t collection, std::int64_t& value)
{
    if (collection_ != collection || collection == 0) {
        collection_ = collection;
        std::string_view content;
        // A driver that fails (EIO) or a device that is gone fails this value only.
        valid_ = HasFile() && file_.Read(content) && parse_(content, value_);
    }
    value = value_;
    return valid_;
}

void SysfsNumber::Feed(std::uint64_t collection, std::int64_t value)
{
    collection_ = collection;
    valid_ = true;
    value_ = value;
}

std::string ReadSysfsText(const std::string& path)
{
    ProcFile file(path);
    std::string_view content;
    if (!file.Read(content))
        return {};
    std::string_view line;
    text::NextLine(content, line);
    return std::string(text::Trim(line));
}

} // namespace quel
