#include "service/event_log.h"

#include "service/service_names.h"

#include <syslog.h>

namespace quel {
namespace {

void Write(int priority, const std::string& text)
{
    openlog(ServiceName, LOG_PID | LOG_NDELAY, LOG_DAEMON);
    syslog(priority, "%s", text.c_str());
    closelog();
}

} // namespace

std::string EventLog::ErrorTitle(int code)
{
    return std::string(ServiceName) + " error: " + std::to_string(code);
}

void EventLog::ReportError(int code, const std::string& text)
{
    Write(LOG_ERR, ErrorTitle(code) + ": " + text);
}

void EventLog::ReportWarning(const std::string& text)
{
    Write(LOG_WARNING, text);
}

} // namespace quel
