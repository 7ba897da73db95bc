#include "platform/drm_cards.h"

#include "platform/exposition_page.h"
#include "platform/text_scan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace quel {
namespace {

// Each figure's file in the device folder and its node exporter series.
struct AmdgpuFile {
    std::string_view file;
    std::string_view series;
};
constexpr std::array<AmdgpuFile, static_cast<std::size_t>(AmdgpuField::Count)> AmdgpuFiles = {{
    {"gpu_busy_percent", "node_drm_gpu_busy_percent"},
    {"mem_info_vram_used", "node_drm_memory_vram_used_bytes"},
    {"mem_info_vram_total", "node_drm_memory_vram_size_bytes"},
    {"mem_info_gtt_used", "node_drm_memory_gtt_used_bytes"},
}};
constexpr std::array<std::string_view, 5> DrmSeries = {
    "node_drm_card_info", "node_drm_gpu_busy_percent", "node_drm_memory_vram_used_bytes",
    "node_drm_memory_vram_size_bytes", "node_drm_memory_gtt_used_bytes"};

// The number of "cardN"; false for connectors ("card0-DP-1"), render nodes and the rest.
bool CardNumber(std::string_view name, std::uint64_t& number)
{
    return name.starts_with("card") && name.size() <= 10 && text::ParseU64(name.substr(4), number);
}

std::uint64_t CardNumberOf(std::string_view name)
{
    std::uint64_t number = 0;
    CardNumber(name, number);
    return number;
}

// Where a symbolic link points; empty when it is none.
std::string LinkTarget(const std::string& path)
{
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target)
        return {};
    return std::string(target, static_cast<std::size_t>(length));
}

std::string_view LastPart(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

DrmSource::DrmSource(std::string sysRoot) : folder_(std::move(sysRoot) + "/class/drm/") {}

void DrmSource::Refresh(std::uint64_t collection)
{
    collection_ = collection;
    fed_ = false;
    for (Card& card : cards_)
        card.seen = false;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(folder_.c_str()), ::closedir);
    // A machine without graphics has no drm class at all: no cards rather than a failure.
    valid_ = folder != nullptr || errno == ENOENT;
    while (folder) {
        const dirent* entry = ::readdir(folder.get());
        if (entry == nullptr)
            break;
        std::uint64_t number = 0;
        if (!CardNumber(entry->d_name, number))
            continue;
        const std::string device = LinkTarget(folder_ + entry->d_name + "/device");
        if (!device.empty())
            Update(entry->d_name, device);
    }
    std::erase_if(cards_, [](const Card& card) { return !card.seen; });
    std::ranges::sort(cards_, {}, [](const Card& card) { return CardNumberOf(card.card.name); });
}

void DrmSource::Update(std::string_view name, const std::string& device)
{
    Card* card = FindCard(name);
    if (card != nullptr && card->device != device) {
        *card = Card();  // another device now: nothing of the old one carries over
    } else if (card == nullptr) {
        card = &cards_.emplace_back();
    }
    card->seen = true;
    if (card->card.name.empty()) {
        card->card.name.assign(name);
        card->device = device;
        card->card.hasPci = ParsePciAddress(LastPart(device), card->card.pci);
        const std::string deviceFolder = folder_ + card->card.name + "/device/";
        for (std::size_t i = 0; i < FieldCount; ++i)
            card->figures[i].file.SetPath(deviceFolder + std::string(AmdgpuFiles[i].file));
    }
    // A driver can be unbound and another bound at any time.
    card->card.driver.assign(LastPart(LinkTarget(folder_ + card->card.name + "/device/driver")));
}

DrmSource::Card* DrmSource::FindCard(std::string_view name)
{
    for (Card& card : cards_) {
        if (card.card.name == name)
            return &card;
    }
    return nullptr;
}

const DrmCard* DrmSource::Find(std::string_view name) const
{
    for (const Card& card : cards_) {
        if (card.card.name == name)
            return &card.card;
    }
    return nullptr;
}

void DrmSource::List(std::vector<std::string>& names) const
{
    for (const Card& card : cards_)
        names.push_back(card.card.name);
}

bool DrmSource::Amdgpu(std::string_view name, AmdgpuField field, std::uint64_t& value)
{
    Card* card = FindCard(name);
    if (card == nullptr || field >= AmdgpuField::Count)
        return false;
    Figure& figure = card->figures[static_cast<std::size_t>(field)];
    if (!fed_ && figure.collection != collection_) {
        figure.collection = collection_;
        std::string_view content;
        figure.valid = figure.file.Read(content) && text::ParseU64(text::Trim(content), figure.value);
    }
    value = figure.value;
    return figure.valid && figure.collection == collection_;
}

// --- a node exporter page ----------------------------------------------------------------------

std::span<const std::string_view> DrmSource::Series() const
{
    return DrmSeries;
}

void DrmSource::BeginPage(std::uint64_t collection)
{
    collection_ = collection;
    fed_ = true;
    valid_ = false;
    cards_.clear();
}

DrmSource::Card& DrmSource::PageCard(std::string_view name)
{
    if (Card* card = FindCard(name))
        return *card;
    Card& card = cards_.emplace_back();
    card.card.name.assign(name);
    // The collector reads amdgpu cards only.
    card.card.driver = "amdgpu";
    return card;
}

void DrmSource::TakeSample(const ExpositionPage& page, const ExpositionSample& sample)
{
    // A page with drm series has the collector on: a card it does not list is not there.
    valid_ = true;
    const std::string_view name = page.Label(sample, "card");
    std::uint64_t number = 0;
    if (!CardNumber(name, number))
        return;
    Card& card = PageCard(name);
    const auto row = std::ranges::find(AmdgpuFiles, sample.name, &AmdgpuFile::series);
    if (row == AmdgpuFiles.end())
        return;
    Figure& figure = card.figures[static_cast<std::size_t>(row - AmdgpuFiles.begin())];
    figure.collection = collection_;
    figure.valid = PageCount(sample.value, 1.0, figure.value);
}

void DrmSource::EndPage()
{
    std::ranges::sort(cards_, {}, [](const Card& card) { return CardNumberOf(card.card.name); });
}

} // namespace quel
