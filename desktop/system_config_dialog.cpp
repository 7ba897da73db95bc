#include "desktop/system_config_dialog.h"

#include "desktop/native_path.h"
#include "desktop/string_table.h"
#include "desktop/xscreensaver_prefs.h"
#include "platform/registry.h"
#include "service/service_names.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace quel::desktop {
namespace {

constexpr const char* SystemConfigTitle = "System Configuration Options";
constexpr const char* UserSaverNote =
    "Takes effect where XScreenSaver runs (X11 sessions): it selects quelmond in ~/.xscreensaver; "
    "clearing the box selects the blank screen.";
constexpr const char* LogonSaverNote = "Linux login screens run no screen saver, so there is nothing to set here.";
// %1: the system settings file, %2: the profile
constexpr const char* ServiceProfileNeedsAdmin =
    "Administrator rights are needed to choose the profile the service loads: %1 cannot be written.\n"
    "As root, put these lines into it (for example with \"sudoedit %1\"):\n[Service]\nProfile=%2";

QLabel* Note(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setWordWrap(true);
    label->setEnabled(false);  // drawn as the explanation it is
    return label;
}

std::string ReadServiceProfile()
{
    std::string profile;
    if (auto key = RegistryKey::Open(RegistryHive::LogonDefault, ServiceRegistryKey))
        key->GetString(ServiceProfileValue, profile);
    return profile;
}

} // namespace

SystemConfig ReadSystemConfig()
{
    SystemConfig config;
    std::string error;
    const std::optional<std::string> prefs = ReadPrefsFile(XScreenSaverFile(), error);
    config.userSaver = prefs && SelectsQuelmond(*prefs);
    config.serviceProfile = ReadServiceProfile();
    return config;
}

CSystemConfigDlg::CSystemConfigDlg(Prompt& prompt, ProfileBrowser browse, QWidget* parent)
    : QDialog(parent), prompt_(prompt), browse_(browse ? std::move(browse) : ProfileBrowser(BrowseProfiles)),
      start_(ReadSystemConfig())
{
    setWindowTitle(QString::fromUtf8(SystemConfigTitle));

    auto* saverGroup = new QGroupBox(QStringLiteral("Screen saver options"), this);
    userSaver_ = new QCheckBox(QStringLiteral("Use as a screen saver for current user"), saverGroup);
    userSaver_->setChecked(start_.userSaver);
    logonSaver_ = new QCheckBox(QStringLiteral("Use as a screen saver at logon"), saverGroup);
    logonSaver_->setEnabled(false);
    auto* saverLayout = new QVBoxLayout(saverGroup);
    saverLayout->addWidget(userSaver_);
    saverLayout->addWidget(Note(UserSaverNote, saverGroup));
    saverLayout->addWidget(logonSaver_);
    saverLayout->addWidget(Note(LogonSaverNote, saverGroup));

    auto* serviceGroup = new QGroupBox(QStringLiteral("Load profile on service start-up"), this);
    serviceProfile_ = new QLineEdit(FromNative(start_.serviceProfile), serviceGroup);
    auto* browseButton = new QPushButton(QStringLiteral("Browse..."), serviceGroup);
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &CSystemConfigDlg::BrowseProfile);
    auto* serviceLayout = new QHBoxLayout(serviceGroup);
    serviceLayout->addWidget(serviceProfile_, 1);
    serviceLayout->addWidget(browseButton);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSystemConfigDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSystemConfigDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(saverGroup);
    layout->addWidget(serviceGroup);
    layout->addWidget(buttons);
}

void CSystemConfigDlg::BrowseProfile()
{
    const QString chosen = browse_(this, serviceProfile_->text());
    if (!chosen.isEmpty())
        serviceProfile_->setText(chosen);
}

void CSystemConfigDlg::accept()
{
    const bool userSaver = userSaver_->isChecked();
    if (userSaver != start_.userSaver) {
        if (!WriteUserSaver(userSaver))
            return;
        start_.userSaver = userSaver;
    }
    const std::string serviceProfile = ToNative(serviceProfile_->text());
    if (serviceProfile != start_.serviceProfile) {
        if (!WriteServiceProfile(serviceProfile))
            return;
        start_.serviceProfile = serviceProfile;
    }
    QDialog::accept();
}

bool CSystemConfigDlg::WriteUserSaver(bool use)
{
    const std::string file = XScreenSaverFile();
    std::string error;
    if (desktop::WriteUserSaver(file, use, error))
        return true;
    prompt_.Message(QString::fromUtf8(text::CannotWrite) + FromNative(file) + QStringLiteral(" (") +
                    QString::fromStdString(error) + QLatin1Char(')'));
    return false;
}

bool CSystemConfigDlg::WriteServiceProfile(const std::string& path)
{
    // The key is made when missing: the service only reads it, so nothing else would.
    std::optional<RegistryKey> key = RegistryKey::Create(RegistryHive::LogonDefault, ServiceRegistryKey);
    if (key && key->SetString(ServiceProfileValue, path))
        return true;
    const QString file = FromNative(RegistryKey::HiveFile(RegistryHive::LogonDefault));
    prompt_.Message(QString::fromUtf8(ServiceProfileNeedsAdmin).arg(file, FromNative(path)));
    return false;
}

void RunSystemConfig(QWidget* parent, Prompt& prompt)
{
    CSystemConfigDlg dialog(prompt, {}, parent);
    dialog.exec();
}

} // namespace quel::desktop
