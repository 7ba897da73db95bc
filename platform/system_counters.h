#pragma once
// The System, Objects and Server objects: /proc/loadavg, /proc/uptime, the process entries of
// /proc, /proc/stat (through StatSource) and the server sessions.

#include "platform/object_family.h"
#include "platform/page_feed.h"
#include "platform/proc_file.h"

#include <cstdint>
#include <dirent.h>
#include <string>

namespace quel {

// Counts the numeric entries (processes) of the proc root. The directory stays open and is
// rewound for each count, which allocates nothing.
class ProcessDirectory {
public:
    explicit ProcessDirectory(std::string path);
    ~ProcessDirectory();
    ProcessDirectory(const ProcessDirectory&) = delete;
    ProcessDirectory& operator=(const ProcessDirectory&) = delete;

    void Refresh();
    bool Count(std::uint64_t& processes) const;
    // The count a remote computer's page gives, in place of the directory's.
    void Set(bool valid, std::uint64_t processes);

private:
    std::string path_;
    DIR* dir_ = nullptr;
    bool valid_ = false;
    std::uint64_t count_ = 0;
};

class LoadSource final : public PageFeed {
public:
    explicit LoadSource(const std::string& procRoot);
    void RefreshLoadAvg();
    void RefreshUptime();
    void RefreshProcesses() { processes_.Refresh(); }

    bool Threads(std::uint64_t& threads) const;
    bool UptimeSeconds(double& seconds) const;
    bool Processes(std::uint64_t& processes) const { return processes_.Count(processes); }

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    ProcFile loadavg_;
    ProcFile uptime_;
    ProcessDirectory processes_;
    std::uint64_t threads_ = 0;
    double uptimeSeconds_ = 0.0;
    bool threadsValid_ = false;
    bool uptimeValid_ = false;
    // What a page gave: the boot time and the time of the page, in seconds since the epoch.
    double pageBootTime_ = 0.0;
    double pageTime_ = 0.0;
    bool pageHasBootTime_ = false;
    bool pageHasTime_ = false;
};

// Server sessions: the "sessions:" line of the in-kernel SMB server's /proc/fs/ksmbd/server
// when it exists, else the established TCP connections on local port 445 or 139. The TCP
// tables of a busy machine are expensive to read, so they are read at most once per interval
// and the value is reused in between.
class SessionSource final : public PageFeed {
public:
    SessionSource(const std::string& procRoot, std::int64_t intervalNs);
    void Refresh(std::int64_t nowNs);
    bool Sessions(std::uint64_t& sessions) const;

    // The node exporter's series of this source (PageFeed).
    std::span<const std::string_view> Series() const override;
    void BeginPage(std::uint64_t collection) override;
    void TakeSample(const ExpositionPage& page, const ExpositionSample& sample) override;
    void EndPage() override;

private:
    bool ReadKsmbd(std::uint64_t& sessions);
    bool CountTcp(ProcFile& file, std::uint64_t& sessions);

    ProcFile ksmbd_;
    ProcFile tcp_;
    ProcFile tcp6_;
    std::int64_t intervalNs_;
    std::int64_t lastReadNs_ = 0;
    bool haveReading_ = false;
    bool valid_ = false;
    std::uint64_t sessions_ = 0;
};

const ObjectFamily& SystemFamily();
const ObjectFamily& ObjectsFamily();
const ObjectFamily& ServerFamily();

} // namespace quel
