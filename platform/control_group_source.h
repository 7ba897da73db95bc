#pragma once
// ControlGroupSource: the cgroup v2 hierarchy (the cgroup2 mount of /proc/self/mountinfo, read
// below the sysfs root) and the interface files of the groups that counters name. A collection
// reads only those groups' files, each at most once, on kept descriptors; walking the whole
// hierarchy is left to List, which runs once per enumeration.

#include "platform/proc_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// The interface files of a group that counters read.
enum class GroupFile : std::size_t {
    CpuStat,
    MemoryCurrent,
    MemoryMax,
    MemorySwapCurrent,
    IoStat,
    PidsCurrent,
    CpuPressure,
    MemoryPressure,
    IoPressure,
};
inline constexpr std::size_t GroupFileCount = 9;

class ControlGroup {
public:
    // Identifies this incarnation of the group: a group removed and created again under the
    // same path has another key, so its rates start afresh.
    std::uint64_t Key() const { return key_; }
    // The content of one of its files as of this collection, read on first use; false when
    // the file is missing (its controller is not enabled) or unreadable.
    bool Read(GroupFile file, std::string_view& content);

private:
    friend class ControlGroupSource;
    struct Slot {
        ProcFile file;
        std::uint64_t collection = 0;
        bool valid = false;
        std::string_view content;
    };

    std::string name_;
    std::string folder_;
    std::uint64_t key_ = 0;
    bool exists_ = false;
    std::uint64_t checked_ = 0;   // the collection that last checked the folder
    std::uint64_t collection_ = 0;
    std::array<Slot, GroupFileCount> slots_;
};

class ControlGroupSource {
public:
    ControlGroupSource(const std::string& procRoot, const std::string& sysRoot);

    // Starts a collection: files are read afterwards as counters ask for them.
    void Refresh(std::uint64_t collection);
    // The group of an instance ("system.slice/ssh.service", "_Total" for the root), checked
    // once per collection; null when it does not exist (now) or the name is not a group path.
    ControlGroup* Find(std::string_view instance);
    // Finds the hierarchy again and appends every group below its root, sorted as a tree,
    // then "_Total"; nothing without cgroup v2.
    void List(std::vector<std::string>& names);

private:
    void FindHierarchy();

    ProcFile mountInfo_;
    std::string sysRoot_;
    std::string root_;  // the hierarchy's folder; empty when there is none
    bool rootKnown_ = false;
    std::uint64_t collection_ = 0;
    std::vector<std::unique_ptr<ControlGroup>> groups_;
};

} // namespace quel
