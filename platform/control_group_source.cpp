#include "platform/control_group_source.h"

#include "platform/mount_info.h"
#include "platform/object_family.h"
#include "platform/text_scan.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quel {
namespace {

constexpr std::array<std::string_view, GroupFileCount> GroupFileNames = {
    "cpu.stat",    "memory.current", "memory.max",      "memory.swap.current", "io.stat",
    "pids.current", "cpu.pressure",  "memory.pressure", "io.pressure",
};

// Groups no counter asked for in this many collections are forgotten, their files closed.
constexpr std::uint64_t UnusedCollections = 64;

constexpr std::string_view SysMount = "/sys";

// Deeper than any real hierarchy (systemd and container runtimes nest a few levels), and
// bounds the folders a walk keeps open at once.
constexpr int MaxDepth = 64;

// A path below the hierarchy's root: names separated by single "/", none of them "." or "..".
bool IsGroupPath(std::string_view path)
{
    if (path.empty())
        return false;
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string_view::npos)
            return false;
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

// Tree order: a group is followed by its descendants before any sibling whose name extends
// its own ("a", "a/b", "a-c" rather than "a", "a-c", "a/b").
bool TreeOrder(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto rank = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
        return rank(x) < rank(y);
    });
}

// Appends the groups below the folder folderFd (which it closes), path being its own path
// below the root. Symbolic links are neither groups nor followed, and the depth is bounded, so
// any tree ends; a group that goes away during the walk is just left out.
void ListGroups(int folderFd, std::string& path, int depth, std::vector<std::string>& names)
{
    DIR* folder = ::fdopendir(folderFd);
    if (folder == nullptr) {
        ::close(folderFd);
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (entry->d_type != DT_DIR) {
            struct stat status {};
            if (entry->d_type != DT_UNKNOWN || ::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISDIR(status.st_mode))
                continue;
        }
        const std::size_t length = path.size();
        path.append(length == 0 ? "" : "/").append(name);
        if (!(depth == 0 && name == TotalInstance))  // a top-level group so named would be taken for the root
            names.push_back(path);
        const int child = ::openat(::dirfd(folder), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) {
            if (depth + 1 < MaxDepth)
                ListGroups(child, path, depth + 1, names);
            else
                ::close(child);
        }
        path.resize(length);
    }
    ::closedir(folder);
}

} // namespace

bool ControlGroup::Read(GroupFile file, std::string_view& content)
{
    Slot& slot = slots_[static_cast<std::size_t>(file)];
    if (slot.collection != collection_) {
        slot.collection = collection_;
        if (slot.file.Path().empty())
            slot.file.SetPath(folder_ + "/" + std::string(GroupFileNames[static_cast<std::size_t>(file)]));
        slot.valid = slot.file.Read(slot.content);
    }
    content = slot.content;
    return slot.valid;
}

ControlGroupSource::ControlGroupSource(const std::string& procRoot, const std::string& sysRoot)
    : mountInfo_(procRoot + "/self/mountinfo"), sysRoot_(sysRoot)
{
}

void ControlGroupSource::Refresh(std::uint64_t collection)
{
    collection_ = collection;
    std::erase_if(groups_, [&](const std::unique_ptr<ControlGroup>& group) {
        return group->collection_ + UnusedCollections < collection;
    });
}

void ControlGroupSource::FindHierarchy()
{
    // The first cgroup2 mount under /sys: /sys/fs/cgroup on unified systems,
    // /sys/fs/cgroup/unified on hybrid ones. Read below the sysfs root like every sysfs file.
    rootKnown_ = true;
    std::string root;
    std::string_view content;
    if (mountInfo_.Read(content)) {
        MountInfoLine mount;
        std::string decoded;
        while (NextMountInfoLine(content, mount)) {
            if (mount.type != "cgroup2")
                continue;
            text::DecodeOctalEscapes(mount.mountPoint, decoded);
            const std::string_view point = decoded;
            if (point.starts_with(SysMount) && (point.size() == SysMount.size() || point[SysMount.size()] == '/')) {
                root = sysRoot_ + std::string(point.substr(SysMount.size()));
                break;
            }
        }
    }
    if (root != root_) {
        root_ = std::move(root);
        groups_.clear();
    }
}

ControlGroup* ControlGroupSource::Find(std::string_view instance)
{
    if (!rootKnown_)
        FindHierarchy();
    const bool total = instance == TotalInstance;
    if (root_.empty() || (!total && !IsGroupPath(instance)))
        return nullptr;
    auto found = std::find_if(groups_.begin(), groups_.end(),
                              [&](const std::unique_ptr<ControlGroup>& group) { return group->name_ == instance; });
    if (found == groups_.end()) {
        auto group = std::make_unique<ControlGroup>();
        group->name_.assign(instance);
        group->folder_ = total ? root_ : root_ + "/" + std::string(instance);
        found = groups_.insert(groups_.end(), std::move(group));
    }
    ControlGroup& group = **found;
    group.collection_ = collection_;
    if (group.checked_ != collection_ || collection_ == 0) {
        group.checked_ = collection_;
        // The folder's inode tells a group created again from the one whose files are open.
        struct stat status {};
        group.exists_ = ::stat(group.folder_.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        const std::uint64_t key = group.exists_ ? static_cast<std::uint64_t>(status.st_ino) : 0;
        if (key != group.key_) {
            for (ControlGroup::Slot& slot : group.slots_)
                slot = ControlGroup::Slot{};
            group.key_ = key;
        }
    }
    return group.exists_ ? &group : nullptr;
}

void ControlGroupSource::List(std::vector<std::string>& names)
{
    FindHierarchy();
    if (root_.empty())
        return;
    const int rootFd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return;
    const std::size_t first = names.size();
    std::string path;
    ListGroups(rootFd, path, 0, names);
    std::sort(names.begin() + static_cast<std::ptrdiff_t>(first), names.end(), TreeOrder);
    names.emplace_back(TotalInstance);
}

} // namespace quel
