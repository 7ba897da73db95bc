#pragma once
// DrmSource: the graphics cards of /sys/class/drm (the cardN entries with a device link; the
// connectors cardN-NAME and render nodes are left out), with each card's driver and PCI address
// and the figures amdgpu publishes in the card's device folder. A card is known by its name and
// the device it links to, so a card re-created on another device starts afresh.

#include "platform/nvml_devices.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// The figures amdgpu gives in /sys/class/drm/cardN/device/.
enum class AmdgpuField : std::size_t { BusyPercent, VramUsed, VramTotal, GttUsed, Count };

struct DrmCard {
    std::string name;    // "card0"
    std::string driver;  // the device's driver: "amdgpu", "nvidia", "i915"...; empty: unknown
    PciAddress pci;
    bool hasPci = false;
};

class DrmSource final : public PageFeed {
public:
    explicit DrmSource(std::string sysRoot);
    // Lists the cards; their files are read when a counter asks.
    void Refresh(std::uint64_t collection);
    bool Valid() const { return valid_; }
    const DrmCard* Find(std::string_view name) const;
    void List(std::vector<std::string>& names) const;
    // An amdgpu figure of the card, its file read at most once per collection; false when the
    // card has no such file or it holds no number.
    bool Amdgpu(std::string_view card, AmdgpuField field, std::uint64_t& value);

    // The node exporter's drm collector (off by default) serves amdgpu cards (PageFeed). A page
    // without its series does not tell the cards: invalid, so their reads fail as not served.
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    static constexpr std::size_t FieldCount = static_cast<std::size_t>(AmdgpuField::Count);
    struct Figure {
        ProcFile file;
        std::uint64_t collection = 0;  // when it was last read; 0: never
        bool valid = false;
        std::uint64_t value = 0;
    };
    struct Card {
        DrmCard card;
        std::string device;  // where the device link points: the card's identity
        std::array<Figure, FieldCount> figures;
        bool seen = false;
    };
    Card* FindCard(std::string_view name);
    void Update(std::string_view name, const std::string& device);
    Card& PageCard(std::string_view name);

    std::string folder_;  // sysRoot/class/drm/
    bool valid_ = false;
    bool fed_ = false;
    std::uint64_t collection_ = 0;
    std::vector<Card> cards_;  // sorted by card number
};

} // namespace quel
