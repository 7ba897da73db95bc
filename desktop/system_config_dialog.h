#pragma once
// CSystemConfigDlg: "System Configuration Options". It makes quelmond the current user's
// XScreenSaver screen saver (or gives the blank screen back), explains why there is nothing to
// set for the login screen, and chooses the profile the service loads at start-up (the system
// settings file's [Service] "Profile"). OK writes only what changed; Cancel writes nothing.

#include "desktop/prompt.h"
#include "gui/profile_browser.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;

namespace quel::desktop {

// What the dialog starts from and what OK compares against.
struct SystemConfig {
    bool userSaver = false;
    std::string serviceProfile;
};

// The present choices: the user's ~/.xscreensaver and the system settings file.
SystemConfig ReadSystemConfig();

class CSystemConfigDlg final : public QDialog {
    Q_OBJECT

public:
    // browse empty: the standard file dialog.
    CSystemConfigDlg(Prompt& prompt, ProfileBrowser browse = {}, QWidget* parent = nullptr);

    QCheckBox* UserSaverBox() const { return userSaver_; }
    QCheckBox* LogonSaverBox() const { return logonSaver_; }
    QLineEdit* ServiceProfileEdit() const { return serviceProfile_; }
    void BrowseProfile();

public slots:
    // Writes what changed; stays open, after saying what could not be written and how to do it.
    void accept() override;

private:
    bool WriteUserSaver(bool use);
    bool WriteServiceProfile(const std::string& path);

    Prompt& prompt_;
    ProfileBrowser browse_;
    SystemConfig start_;
    QCheckBox* userSaver_ = nullptr;
    QCheckBox* logonSaver_ = nullptr;
    QLineEdit* serviceProfile_ = nullptr;
};

// The System... command: the dialog, modal.
void RunSystemConfig(QWidget* parent, Prompt& prompt);

} // namespace quel::desktop
