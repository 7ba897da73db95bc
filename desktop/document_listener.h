#pragma once
// DocumentListener: what the windows do for the document. The document says what changed and
// asks for the window's place; the main frame decides how that shows (caption, recent files,
// window rectangle, repaint). Tests put a recorder in its place.

#include "windrose/wind_rose_types.h"

#include <QString>

#include <optional>

namespace quel {
class RepaintTarget;
}

namespace quel::desktop {

class DocumentListener {
public:
    virtual ~DocumentListener() = default;
    // The document's path or title changed.
    virtual void TitleChanged() = 0;
    // A profile was opened or saved under path: it goes to the top of the recent files.
    virtual void AddRecentFile(const QString& path) = 0;
    // A profile brought its window rectangle.
    virtual void MoveWindowTo(const Rect& rect) = 0;
    // The window's place now, to be kept in the profile; none while there is no window.
    virtual std::optional<Rect> CurrentWindowRect() const = 0;
    // The diagram must be painted again.
    virtual void Repaint() = 0;
    // What the sampling thread invalidates after each sample; null: nothing to repaint.
    virtual RepaintTarget* SampleRepaintTarget() = 0;
    // The document is going: nothing of it may be painted from now on.
    virtual void DocumentClosing() = 0;
};

} // namespace quel::desktop
