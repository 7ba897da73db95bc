#pragma once
// PerfDataSource: the performance data provider the engine reads counters through. Queries
// hold counters named by paths of the form [\\computer]\Object[(instance)]\Counter; a
// collection reads the system once for every counter of the query.
//
// Status 0 means success; every failure has its own non-zero status. Callers depend only on
// this interface; the Linux provider (LinuxPerfDataSource) reads procfs and sysfs, and tests
// substitute scripted sources.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quel {

using PerfStatus = std::uint32_t;

namespace perf_status {
constexpr PerfStatus Ok = 0;
constexpr PerfStatus NoObject = 0xC0000BB8;       // the path names no known object
constexpr PerfStatus NoCounter = 0xC0000BB9;      // the object has no such counter
constexpr PerfStatus NoInstance = 0x800007D1;     // the object has no such instance (now)
constexpr PerfStatus NoData = 0x800007D5;         // no value yet (a rate counter not primed)
constexpr PerfStatus Unreadable = 0xC0000BC6;     // the source could not be read, or a value is unknown
constexpr PerfStatus BadPath = 0xC0000BC0;        // the path is malformed
constexpr PerfStatus InvalidHandle = 0xC0000BBC;  // a query or counter handle that is not ours
constexpr PerfStatus InvalidArgument = 0xC0000BBD;
constexpr PerfStatus MoreData = 0x800007D2;       // EnumObjectItems: buffers too small, sizes returned
constexpr PerfStatus NoMachine = 0x800007D0;      // the remote computer did not answer (in time)
constexpr PerfStatus RemoteUnavailable = 0xC0000BC3;  // remote computers cannot be read (no HTTP module)
constexpr PerfStatus NotRemote = 0xC0000BC7;  // another computer's page does not serve the counter
constexpr PerfStatus NoMemory = 0xC0000BBB;
constexpr PerfStatus NoLibrary = 0xC0000BD0;  // the driver's library that serves the counter is missing
} // namespace perf_status

// Opaque handles; null is "none".
struct PerfQuery;
struct PerfCounter;
using PerfQueryHandle = PerfQuery*;
using PerfCounterHandle = PerfCounter*;

class PerfDataSource {
public:
    virtual ~PerfDataSource() = default;

    virtual PerfStatus OpenQuery(PerfQueryHandle& query) = 0;
    // Adds a counter by path. A bad path still yields a handle whose reads fail (the status
    // tells why); only a bad query handle gives no counter.
    virtual PerfStatus AddCounter(PerfQueryHandle query, std::string_view path, PerfCounterHandle& counter) = 0;
    virtual PerfStatus CollectQueryData(PerfQueryHandle query) = 0;
    // The counter's value from the query's last collection, as a double.
    virtual PerfStatus GetFormattedCounterValue(PerfCounterHandle counter, double& value) = 0;
    virtual PerfStatus RemoveCounter(PerfCounterHandle counter) = 0;
    virtual PerfStatus CloseQuery(PerfQueryHandle query) = 0;

    // Counters and instances of an object on a computer (empty: this one, else a computer part
    // of a path such as "web01:9100"). Call first with null buffers and lengths 0 to learn the
    // sizes (status MoreData, lengths set), then with buffers of those sizes: each buffer is a
    // list of NUL-terminated names ended by an empty name. A remote computer is asked over the
    // network, which takes up to its deadline: call it off the user-interface thread.
    virtual PerfStatus EnumObjectItems(std::string_view object, char* counters, std::size_t& countersLength,
                                       char* instances, std::size_t& instancesLength,
                                       std::string_view computer = {}) = 0;
    // The English name of a standard object or counter index.
    virtual PerfStatus LookupPerfNameByIndex(std::uint32_t index, std::string& name) = 0;
    // The objects this provider offers on a computer (empty: this one), in its order.
    virtual PerfStatus EnumObjects(std::vector<std::string>& objects, std::string_view computer = {}) = 0;
    // Whether a "Network Interface" instance is the loopback interface (left out of new profiles).
    virtual bool IsLoopbackInterface(std::string_view instance) { return instance == "lo"; }
};

} // namespace quel
