#include "desktop/counter_explanations.h"

#include "platform/text_scan.h"

#include <array>

namespace quel::desktop {

namespace {

struct Explanation {
    std::string_view object;
    std::string_view counter;
    std::string_view text;
};

constexpr std::array Explanations = {
    Explanation {"Processor", "% Processor Time",
                 "The share of the processor's time spent on anything but idling or waiting for I/O, from /proc/stat."},
    Explanation {"Processor", "% User Time",
                 "The share of the processor's time spent running programs in user mode, niced ones included."},
    Explanation {"Processor", "% Privileged Time",
                 "The share of the processor's time spent in the kernel, interrupt handling included."},
    Explanation {"Processor", "% Interrupt Time",
                 "The share of the processor's time spent serving hardware interrupts."},
    Explanation {"Processor", "% Idle Time",
                 "The share of the processor's time spent idle or waiting for I/O to complete."},
    Explanation {"Memory", "% Committed Bytes In Use",
                 "The memory promised to processes (Committed_AS) as a percentage of the commit limit; it may exceed 100."},
    Explanation {"Memory", "Available Bytes",
                 "The bytes of physical memory that can be given to programs without swapping (MemAvailable)."},
    Explanation {"Memory", "Committed Bytes", "The bytes of memory promised to processes (Committed_AS of /proc/meminfo)."},
    Explanation {"Memory", "Commit Limit",
                 "The bytes that can be committed: CommitLimit under strict overcommit, else physical memory plus swap."},
    Explanation {"Memory", "Pages/sec", "The pages swapped in and out per second (pswpin and pswpout of /proc/vmstat)."},
    Explanation {"Memory", "Page Faults/sec",
                 "The page faults per second, minor ones included (pgfault of /proc/vmstat)."},
    Explanation {"Paging File", "% Usage", "The used part of a swap area (or of all of them) as a percentage of its size."},
    Explanation {"Paging File", "% Usage Peak",
                 "The highest swap usage in percent seen since the monitor started."},
    Explanation {"Objects", "Processes", "The number of processes that exist now."},
    Explanation {"Objects", "Threads", "The number of threads of all processes (the scheduling entities of /proc/loadavg)."},
    Explanation {"System", "Processor Queue Length",
                 "The runnable threads waiting for a processor beyond those running on one."},
    Explanation {"System", "Context Switches/sec", "The switches of the processors from one thread to another per second."},
    Explanation {"System", "System Up Time", "The seconds since the computer started."},
    Explanation {"System", "% Registry Quota In Use",
                 "Linux has no registry quota: this counter exists so that older profiles stay valid, but never has a value."},
    Explanation {"Server", "Server Sessions",
                 "The file-sharing (SMB) sessions the computer serves, from ksmbd or the established connections to ports 445 and 139."},
    Explanation {"LogicalDisk", "% Free Space",
                 "The free space of a mounted file system that ordinary users may take, as a percentage of its size."},
    Explanation {"PhysicalDisk", "% Disk Time", "The share of time the drive was busy serving requests (io_ticks of /proc/diskstats)."},
    Explanation {"PhysicalDisk", "Disk Read Bytes/sec", "The bytes read from the drive per second."},
    Explanation {"PhysicalDisk", "Disk Write Bytes/sec", "The bytes written to the drive per second."},
    Explanation {"Network Interface", "Bytes Total/sec",
                 "The bytes received and sent through the interface per second (/proc/net/dev)."},
    Explanation {"Network Interface", "Current Bandwidth",
                 "The interface's link speed in bits per second, where the driver reports one."},
};

} // namespace

std::string_view ExplainCounter(std::string_view object, std::string_view counter)
{
    for (const Explanation& explanation : Explanations) {
        if (text::EqualsNoCase(explanation.object, object) && text::EqualsNoCase(explanation.counter, counter))
            return explanation.text;
    }
    return {};
}

} // namespace quel::desktop
