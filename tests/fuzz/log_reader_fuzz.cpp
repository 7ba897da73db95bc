// The log reader: an input is read as a log's text and as a file. Nothing may crash, both
// readings must agree, and what is read must be whole: every value a number or N/A, every row
// in one section, every section's columns among the log's.

#include "fuzz_support.h"
#include "log/log_reader.h"

#include <cmath>
#include <cstdlib>

namespace quel::fuzz {
namespace {

void CheckWhole(const LogData& log)
{
    if (log.values.size() != log.RowCount() * log.ColumnCount())
        Finding("the values are not rows times columns");
    for (const double value : log.values) {
        if (!std::isnan(value) && !std::isfinite(value))
            Finding("a value that is not finite");
    }
    std::size_t rows = 0;
    for (const LogSection& section : log.sections) {
        if (section.firstRow != rows)
            Finding("a section's rows do not follow the one before");
        rows += section.rowCount;
        for (const std::size_t column : section.columns) {
            if (column >= log.ColumnCount())
                Finding("a section's column is not the log's");
        }
    }
    if (rows != log.RowCount())
        Finding("rows outside the sections");
}

class Logs {
public:
    Logs()
    {
        setenv("TZ", "UTC", 1);
        path_ = ScratchFolder() + "/input-log.html";
    }

    void Run(std::string_view content)
    {
        LogData fromText;
        const LogReading text = ReadLogText(content, fromText);
        CheckWhole(fromText);
        WriteInPlace(path_, content);
        LogData fromFile;
        const LogReading file = ReadLog(path_, fromFile);
        if (file.status != text.status || file.message != text.message || fromFile.times != fromText.times ||
            fromFile.columns != fromText.columns)
            Finding("the file and its text read differently");
    }

private:
    std::string path_;
};

} // namespace
} // namespace quel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static quel::fuzz::Logs logs;
    logs.Run(quel::fuzz::AsText(data, size));
    return 0;
}
