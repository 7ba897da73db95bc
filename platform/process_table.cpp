#include "platform/process_table.h"

#include "platform/regular_file.h"
#include "platform/text_scan.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quel {
namespace {

constexpr std::size_t InitialBufferSize = 4096;
// A process file larger than this is not one the kernel wrote.
constexpr std::size_t MaxBufferSize = std::size_t{1} << 20;
// The task flag of kernel threads (include/linux/sched.h).
constexpr std::uint64_t KernelThreadFlag = 0x00200000;
// At most this share of the open-file limit is kept open between collections.
constexpr rlim_t DescriptorShare = 4;
constexpr rlim_t MaxKeptDescriptors = 65536;

std::size_t DescriptorBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    const rlim_t soft = limit.rlim_cur == RLIM_INFINITY ? MaxKeptDescriptors * DescriptorShare : limit.rlim_cur;
    return static_cast<std::size_t>(std::min(soft / DescriptorShare, MaxKeptDescriptors));
}

bool ParsePid(const char* name, std::uint32_t& pid)
{
    std::uint64_t value = 0;
    if (name[0] < '1' || name[0] > '9' || !text::ParseU64(name, value) || value > 0xFFFFFFFFULL)
        return false;
    pid = static_cast<std::uint32_t>(value);
    return true;
}

// "pid (comm) state ppid ...": comm may hold blanks and ")", so it ends at the last ")".
bool ParseStat(std::string_view content, std::string& name, bool& kernelThread, ProcessValues& values)
{
    const std::size_t open = content.find('(');
    const std::size_t close = content.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return false;
    std::string_view rest = content.substr(close + 1);
    // Fields from 3 (state) on; the ones read are unsigned in the kernel.
    std::uint64_t flags = 0, minflt = 0, majflt = 0;
    std::uint64_t* const wanted[24] = {
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 0..8
        &flags, &minflt, nullptr, &majflt, nullptr, &values.userTicks, &values.systemTicks,  // 9..15
        nullptr, nullptr, nullptr, nullptr, &values.threads, nullptr, &values.startTicks,  // 16..22
        &values.virtualBytes};  // 23
    for (std::size_t field = 3; field < std::size(wanted); ++field) {
        const std::string_view token = text::NextField(rest);
        if (token.empty())
            return false;
        if (wanted[field] != nullptr && !text::ParseU64(token, *wanted[field]))
            return false;
    }
    values.faults = minflt > UINT64_MAX - majflt ? UINT64_MAX : minflt + majflt;
    kernelThread = (flags & KernelThreadFlag) != 0;
    name.assign(content.substr(open + 1, close - open - 1));
    return true;
}

// "RssAnon:\t    1234 kB" lines of status; a process without memory (a zombie) has none.
bool ParseStatus(std::string_view content, ProcessValues& values)
{
    struct Field {
        std::string_view key;
        std::uint64_t* value;
    };
    std::uint64_t residentKb = 0;
    const Field fields[] = {{"VmRSS:", &residentKb}, {"RssAnon:", &values.rssAnonKb}, {"RssShmem:", &values.rssShmemKb},
                            {"VmSwap:", &values.swapKb}};
    std::size_t found = 0;
    std::string_view line;
    while (found < std::size(fields) && text::NextLine(content, line)) {
        std::string_view rest = line;
        const std::string_view key = text::NextField(rest);
        for (const Field& field : fields) {
            if (key != field.key)
                continue;
            const std::string_view number = text::NextField(rest);
            if (text::NextField(rest) != "kB" || !text::ParseU64(number, *field.value))
                return false;
            ++found;
        }
    }
    if (found != std::size(fields) || residentKb > UINT64_MAX / 1024)
        return false;
    values.residentBytes = residentKb * 1024;
    return true;
}

// "size resident shared text lib data dt", in pages.
bool ParseStatm(std::string_view content, std::uint64_t pageBytes, ProcessValues& values)
{
    text::NextField(content);
    std::uint64_t pages = 0;
    if (!text::ParseU64(text::NextField(content), pages) || pages > UINT64_MAX / pageBytes)
        return false;
    values.residentBytes = pages * pageBytes;
    return true;
}

bool ParseIo(std::string_view content, ProcessValues& values)
{
    bool read = false, written = false;
    std::string_view line;
    while (text::NextLine(content, line)) {
        std::string_view rest = line;
        const std::string_view key = text::NextField(rest);
        if (key == "rchar:")
            read = text::ParseU64(text::NextField(rest), values.readBytes);
        else if (key == "wchar:")
            written = text::ParseU64(text::NextField(rest), values.writeBytes);
    }
    return read && written;
}

} // namespace

bool ProcessFile::Open(const std::string& path)
{
    FileProblem problem;
    return OpenRegularFile(path, fd_, problem);
}

bool ProcessFile::Read(std::vector<char>& buffer, std::string_view& content)
{
    if (fd_.Valid() && ReadOpen(buffer, content))
        return true;
    fd_.Reset();
    return false;
}

bool ProcessFile::ReadOpen(std::vector<char>& buffer, std::string_view& content)
{
    if (buffer.empty())
        buffer.resize(InitialBufferSize);
    std::size_t length = 0;
    for (;;) {
        if (length == buffer.size()) {
            if (buffer.size() >= MaxBufferSize)
                return false;
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t got = ::pread(fd_.Get(), buffer.data() + length, buffer.size() - length, static_cast<off_t>(length));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        length += static_cast<std::size_t>(got);
        // These files are made whole by one show call: a read that leaves room got all of it,
        // which spares the read that would return 0.
        if (length < buffer.size())
            break;
    }
    content = std::string_view(buffer.data(), length);
    return true;
}

ProcessTable::ProcessTable(std::string procRoot)
    : root_(std::move(procRoot)), descriptorBudget_(DescriptorBudget())
{
    const long ticks = ::sysconf(_SC_CLK_TCK);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (ticks > 0)
        ticksPerSecond_ = static_cast<double>(ticks);
    if (page > 0)
        pageBytes_ = static_cast<double>(page);
}

ProcessTable::~ProcessTable()
{
    if (dir_ != nullptr)
        ::closedir(dir_);
}

std::size_t ProcessTable::KeptDescriptors() const
{
    return kept_;
}

void ProcessTable::ScanPids()
{
    pids_.clear();
    if (dir_ == nullptr)
        dir_ = ::opendir(root_.c_str());
    else
        ::rewinddir(dir_);
    valid_ = dir_ != nullptr;
    if (!valid_)
        return;
    while (const dirent* entry = ::readdir(dir_)) {
        std::uint32_t pid = 0;
        if (ParsePid(entry->d_name, pid))
            pids_.push_back(pid);
    }
    std::sort(pids_.begin(), pids_.end());
}

void ProcessTable::Refresh()
{
    wanted_ = requested_;
    requested_ = 0;
    ScanPids();
    // Keep the entries of PIDs still listed (their descriptors with them), drop the others.
    spare_.clear();
    spare_.reserve(pids_.size());
    auto old = processes_.begin();
    for (const std::uint32_t pid : pids_) {
        while (old != processes_.end() && old->pid < pid)
            ++old;
        if (old != processes_.end() && old->pid == pid) {
            spare_.push_back(std::move(*old));
        } else {
            spare_.emplace_back();
            spare_.back().pid = pid;
        }
    }
    processes_.swap(spare_);
    spare_.clear();
    CountKept();
    for (Process& process : processes_) {
        process.loaded = 0;
        process.failed = 0;
        ReadStat(process);
    }
    // A process whose stat is gone ended after the listing.
    std::erase_if(processes_, [](const Process& p) { return (p.failed & process_file::Stat) != 0; });
    CountKept();
    Index();
}

void ProcessTable::CountKept()
{
    kept_ = 0;
    for (const Process& process : processes_)
        kept_ += std::size_t{process.stat.Kept()} + process.statm.Kept() + process.status.Kept() + process.io.Kept();
}

void ProcessTable::Index()
{
    all_.clear();
    for (std::uint32_t i = 0; i < processes_.size(); ++i) {
        if (!processes_[i].kernelThread)
            all_.push_back(i);
    }
    byName_.assign(all_.begin(), all_.end());
    std::stable_sort(byName_.begin(), byName_.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return processes_[a].name < processes_[b].name; });
}

std::span<const std::uint32_t> ProcessTable::Named(std::string_view name) const
{
    const auto first = std::lower_bound(byName_.begin(), byName_.end(), name, [&](std::uint32_t a, std::string_view b) {
        return std::string_view(processes_[a].name) < b;
    });
    const auto last = std::upper_bound(first, byName_.end(), name, [&](std::string_view a, std::uint32_t b) {
        return a < std::string_view(processes_[b].name);
    });
    return {first, last};
}

void ProcessTable::ListNames(std::vector<std::string>& names) const
{
    for (const std::uint32_t index : byName_) {
        if (names.empty() || names.back() != processes_[index].name)
            names.push_back(processes_[index].name);
    }
}

const Process& ProcessTable::Load(std::uint32_t index, std::uint32_t need)
{
    Process& process = processes_[index];
    requested_ |= need;
    std::uint32_t missing = need & ~(process.loaded | process.failed);
    if ((missing & process_file::Statm) != 0 && ((wanted_ | requested_) & process_file::Status) != 0)
        missing = (missing & ~process_file::Statm) | process_file::Status;
    if (missing & process_file::Statm)
        ReadStatm(process);
    if (missing & process_file::Status)
        ReadStatus(process);
    if (missing & process_file::Io)
        ReadIo(process);
    if (missing & process_file::Fd)
        ReadFds(process);
    return process;
}

std::string ProcessTable::PathOf(const Process& process, std::string_view file) const
{
    std::string path;
    path.reserve(root_.size() + file.size() + 12);
    path.append(root_).append("/").append(std::to_string(process.pid)).append("/").append(file);
    return path;
}

// Reads through the kept descriptor, else opens the file afresh (the first time, or after the
// process ended and its PID was taken again) and keeps it while the budget allows.
bool ProcessTable::ReadFile(Process& process, ProcessFile& file, std::string_view name, std::string_view& content)
{
    if (file.Kept()) {
        if (file.Read(buffer_, content))
            return true;
        --kept_;
    }
    if (!file.Open(PathOf(process, name)))
        return false;
    const bool ok = file.Read(buffer_, content);
    if (ok && kept_ < descriptorBudget_)
        ++kept_;
    else
        file.Close();
    return ok;
}

void ProcessTable::ReadStat(Process& process)
{
    std::string_view content;
    if (ReadFile(process, process.stat, "stat", content)
        && ParseStat(content, process.name, process.kernelThread, process.values))
        process.loaded |= process_file::Stat;
    else
        process.failed |= process_file::Stat;
}

void ProcessTable::ReadStatm(Process& process)
{
    std::string_view content;
    if (ReadFile(process, process.statm, "statm", content)
        && ParseStatm(content, static_cast<std::uint64_t>(pageBytes_), process.values))
        process.loaded |= process_file::Statm;
    else
        process.failed |= process_file::Statm;
}

void ProcessTable::ReadStatus(Process& process)
{
    std::string_view content;
    if (ReadFile(process, process.status, "status", content) && ParseStatus(content, process.values))
        process.loaded |= process_file::Status | process_file::Statm;
    else
        process.failed |= process_file::Status;
}

void ProcessTable::ReadIo(Process& process)
{
    std::string_view content;
    if (ReadFile(process, process.io, "io", content) && ParseIo(content, process.values))
        process.loaded |= process_file::Io;
    else
        process.failed |= process_file::Io;
}

// Open descriptors: the entries of /proc/PID/fd, readable only by the process's owner and root.
void ProcessTable::ReadFds(Process& process)
{
    DIR* dir = ::opendir(PathOf(process, "fd").c_str());
    if (dir == nullptr) {
        process.failed |= process_file::Fd;
        return;
    }
    std::uint64_t count = 0;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    const bool ok = errno == 0;
    ::closedir(dir);
    process.values.handles = count;
    process.loaded |= ok ? process_file::Fd : 0;
    process.failed |= ok ? 0 : process_file::Fd;
}

} // namespace quel
