#pragma once
// CStaticLink: a text that works as a hyperlink: underlined, blue, a hand cursor over it, and a
// click opens its address (or, when it has none, its own text) in the default program, and says
// so when that is not possible.

#include <QLabel>
#include <QString>

#include <functional>

namespace quel::desktop {

class Prompt;
class Shell;

class CStaticLink final : public QLabel {
    Q_OBJECT

public:
    CStaticLink(const QString& text, const QString& address, Shell& shell, Prompt& prompt, QWidget* parent);

    // Called before the address opens (the main window gives up staying on top, so the browser
    // is not hidden behind it).
    void SetBeforeOpen(std::function<void()> beforeOpen) { beforeOpen_ = std::move(beforeOpen); }
    // The address a click opens.
    QString Target() const;
    void Open();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString address_;
    Shell& shell_;
    Prompt& prompt_;
    std::function<void()> beforeOpen_;
};

} // namespace quel::desktop
