#include "platform/file_size_signal.h"

#include <csignal>

namespace quel {

void IgnoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace quel
