#pragma once
// ProcessTable: the processes of the proc root, read once per collection for the Process object.
// Each collection lists the numeric entries and reads every process's stat (name, CPU times,
// faults, threads, resident and virtual size, start time); status, io and the fd folder are read
// only when a reader asks for them, once per process per collection. Descriptors of the files read
// are kept while the process lives (pread regenerates them), within a budget so that a machine
// with many processes cannot exhaust the program's descriptors.

#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

// The files of a process beyond stat, as bits a reader asks for.
namespace process_file {
constexpr std::uint32_t Stat = 1U << 0;
constexpr std::uint32_t Status = 1U << 1;  // RssAnon, RssShmem, VmSwap
constexpr std::uint32_t Io = 1U << 2;      // rchar, wchar
constexpr std::uint32_t Fd = 1U << 3;      // open descriptors
// Resident size: stat's rss field is an approximation newer kernels do not fold in. When status
// is read anyway its VmRSS gives the same number and statm is not read.
constexpr std::uint32_t Statm = 1U << 4;
} // namespace process_file

// One file of one process, its descriptor kept between collections when the budget allows.
class ProcessFile {
public:
    bool Open(const std::string& path);
    // Reads the whole file into buffer from offset 0; a failed read closes the descriptor.
    bool Read(std::vector<char>& buffer, std::string_view& content);
    void Close() { fd_.Reset(); }
    bool Kept() const { return fd_.Valid(); }

private:
    bool ReadOpen(std::vector<char>& buffer, std::string_view& content);
    UniqueFd fd_;
};

struct ProcessValues {
    // stat
    std::uint64_t userTicks = 0;
    std::uint64_t systemTicks = 0;
    std::uint64_t faults = 0;  // minflt + majflt
    std::uint64_t threads = 0;
    std::uint64_t startTicks = 0;  // since boot
    std::uint64_t virtualBytes = 0;
    // statm (or VmRSS of status)
    std::uint64_t residentBytes = 0;
    // status, in kB
    std::uint64_t rssAnonKb = 0;
    std::uint64_t rssShmemKb = 0;
    std::uint64_t swapKb = 0;
    // io
    std::uint64_t readBytes = 0;   // rchar
    std::uint64_t writeBytes = 0;  // wchar
    // fd
    std::uint64_t handles = 0;
};

struct Process {
    std::uint32_t pid = 0;
    std::string name;  // comm
    bool kernelThread = false;
    ProcessValues values;
    std::uint32_t loaded = 0;  // process_file bits read this collection
    std::uint32_t failed = 0;  // process_file bits that could not be read this collection
    ProcessFile stat;
    ProcessFile statm;
    ProcessFile status;
    ProcessFile io;
};

class ProcessTable {
public:
    explicit ProcessTable(std::string procRoot);
    ~ProcessTable();
    ProcessTable(const ProcessTable&) = delete;
    ProcessTable& operator=(const ProcessTable&) = delete;

    // Lists the processes and reads their stat files.
    void Refresh();
    bool Valid() const { return valid_; }

    // The user processes (kernel threads left out) named name, or all of them when total, in
    // PID order: indices for At().
    std::span<const std::uint32_t> Named(std::string_view name) const;
    std::span<const std::uint32_t> All() const { return all_; }
    // The process, with the files of need read (once per collection); failed tells which not.
    const Process& Load(std::uint32_t index, std::uint32_t need);
    const Process& At(std::uint32_t index) const { return processes_[index]; }
    // The distinct names of user processes, sorted.
    void ListNames(std::vector<std::string>& names) const;

    double TicksPerSecond() const { return ticksPerSecond_; }
    double PageBytes() const { return pageBytes_; }
    std::size_t KeptDescriptors() const;

private:
    void ScanPids();
    void ReadStat(Process& process);
    void ReadStatm(Process& process);
    void ReadStatus(Process& process);
    void ReadIo(Process& process);
    void ReadFds(Process& process);
    bool ReadFile(Process& process, ProcessFile& file, std::string_view name, std::string_view& content);
    std::string PathOf(const Process& process, std::string_view file) const;
    void Index();
    void CountKept();

    std::string root_;
    DIR* dir_ = nullptr;
    bool valid_ = false;
    double ticksPerSecond_ = 100.0;
    double pageBytes_ = 4096.0;
    std::size_t descriptorBudget_ = 0;
    std::size_t kept_ = 0;
    std::vector<std::uint32_t> pids_;   // this collection's entries, sorted
    std::vector<Process> processes_;    // by PID
    std::vector<Process> spare_;        // the previous collection's, while merging
    std::vector<std::uint32_t> all_;    // user processes, PID order
    std::vector<std::uint32_t> byName_; // user processes by name, then PID
    std::vector<char> buffer_;
    // The files readers asked for in this collection and the one before.
    std::uint32_t requested_ = 0;
    std::uint32_t wanted_ = 0;
    std::string path_;
};

} // namespace quel
