#pragma once
// The two ways the core reaches a user interface; the owner of a monitor supplies them.

#include <string>

namespace quel {

// A window to repaint ("invalidate with erase"). Called from the sampling thread: an
// implementation only queues the repaint onto its own thread.
class RepaintTarget {
public:
    virtual ~RepaintTarget() = default;
    virtual void Invalidate() = 0;
};

// Shows the interactive monitor's error messages (message boxes with the caption
// "Quellarimond"). May be called from the sampling thread.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

} // namespace quel
