#pragma once
// CAboutDlg: "About Quellarimond": the icon, the program's name and version, a short notice and
// a link to the help pages.

#include <QDialog>

#include <functional>

namespace quel::desktop {

class CStaticLink;
class Prompt;
class Shell;

class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    // linkAddress: what the link opens; beforeOpen runs before it opens.
    CAboutDlg(QWidget* parent, Shell& shell, Prompt& prompt, const QString& linkAddress,
              std::function<void()> beforeOpen);

    CStaticLink& Link() const { return *link_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CStaticLink* link_ = nullptr;
};

} // namespace quel::desktop
