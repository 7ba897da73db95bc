#pragma once
// ExpositionPage: a Prometheus text exposition page (format 0.0.4), parsed. The page is
// untrusted input: lines longer than MaxLineLength or with more than MaxLabels labels are
// skipped, as is every line that is not a comment, a blank or a well-formed sample. Values may
// be NaN or infinite; a reader treats those as failed reads. Label values are unescaped ("\\",
// "\"", "\n") in place, so names and values are views into the page's own text.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

struct ExpositionLabel {
    std::string_view name;
    std::string_view value;
};

struct ExpositionSample {
    std::string_view name;
    std::uint32_t firstLabel = 0;
    std::uint32_t labelCount = 0;
    double value = 0.0;
};

class ExpositionPage {
public:
    static constexpr std::size_t MaxLineLength = 64 * 1024;
    static constexpr std::size_t MaxLabels = 64;

    ExpositionPage() = default;
    // The views point into text_, so a copy would point into the wrong buffer.
    ExpositionPage(const ExpositionPage&) = delete;
    ExpositionPage& operator=(const ExpositionPage&) = delete;

    // Replaces the page by the parse of text, reusing this page's storage.
    void Parse(std::string text);
    // Gives the text buffer back (for the next fetch to reuse) and empties the page.
    std::string TakeText();

    std::span<const ExpositionSample> Samples() const { return samples_; }
    std::span<const ExpositionLabel> Labels(const ExpositionSample& sample) const
    {
        return std::span<const ExpositionLabel>(labels_).subspan(sample.firstLabel, sample.labelCount);
    }
    // The value of the sample's label `name`; empty when it has none.
    std::string_view Label(const ExpositionSample& sample, std::string_view name) const;
    // Whether any sample has this metric name.
    bool HasMetric(std::string_view name) const;
    std::size_t SkippedLines() const { return skipped_; }

private:
    bool ParseLine(char* line, std::size_t length);

    std::string text_;
    std::vector<ExpositionSample> samples_;
    std::vector<ExpositionLabel> labels_;
    std::size_t skipped_ = 0;
};

} // namespace quel
