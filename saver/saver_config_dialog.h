#pragma once
// SaverConfigDialog: "Screensaver Options for Quellarimond", the saver's configuration dialog.
// It shows the stored settings, lets the user pick the profile, the share of the screen and the
// seconds between moves, checks them on OK and writes them to the user's settings and, when
// asked, to the system's (the defaults of every user, as the logon screen would read them).

#include "gui/profile_browser.h"
#include "saver/saver_options.h"
#include "saver/saver_settings.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLineEdit;

namespace quel::saver {

class SaverConfigDialog final : public QDialog {
    Q_OBJECT

public:
    // Shows one message with an OK button.
    using MessageFunction = std::function<void(QWidget* parent, const QString& text)>;
    using BrowseFunction = ProfileBrowser;

    // Empty functions: the standard message box and file dialog.
    explicit SaverConfigDialog(MessageFunction message = {}, BrowseFunction browse = {}, QWidget* parent = nullptr);

    QLineEdit* ProfileEdit() const { return profile_; }
    QLineEdit* AreaEdit() const { return area_; }
    QLineEdit* TimeoutEdit() const { return timeout_; }
    QCheckBox* LogonBox() const { return logon_; }
    void BrowseProfile();

public slots:
    void accept() override;

private:
    QWidget* FieldWidget(OptionField field) const;
    bool WriteSettings(const SaverSettings& settings);

    MessageFunction message_;
    BrowseFunction browse_;
    QLineEdit* profile_ = nullptr;
    QLineEdit* area_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QCheckBox* logon_ = nullptr;
};

} // namespace quel::saver
