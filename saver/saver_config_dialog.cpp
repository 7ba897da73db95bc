#include "saver/saver_config_dialog.h"

#include "gui/profile_browser.h"
#include "saver/saver_options.h"
#include "saver/saver_texts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <utility>

namespace quel::saver {
namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

void ShowMessageBox(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, Text(text::AppName), text);
}

QLineEdit* NumberEdit(QWidget* parent, const std::string& value)
{
    auto* edit = new QLineEdit(QString::fromStdString(value), parent);
    edit->setMaxLength(static_cast<int>(MaxNumberText));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

} // namespace

SaverConfigDialog::SaverConfigDialog(MessageFunction message, BrowseFunction browse, QWidget* parent)
    : QDialog(parent), message_(message ? std::move(message) : MessageFunction(ShowMessageBox)),
      browse_(browse ? std::move(browse) : BrowseFunction(BrowseProfiles))
{
    setWindowTitle(Text(text::DialogTitle));
    SaverSettings settings;
    ReadSaverSettings(settings);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")).pixmap(32, 32));
    auto* version = new QLabel(Text(text::AppName) + QLatin1Char('\n') + Text(text::VersionLine), this);
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(version, 1);

    auto* profileGroup = new QGroupBox(Text(text::ProfileGroup), this);
    profile_ = new QLineEdit(FromPath(settings.profile), profileGroup);
    auto* browseButton = new QPushButton(Text(text::Browse), profileGroup);
    browseButton->setAutoDefault(false);
    connect(browseButton, &QPushButton::clicked, this, &SaverConfigDialog::BrowseProfile);
    auto* profileRow = new QHBoxLayout(profileGroup);
    profileRow->addWidget(profile_, 1);
    profileRow->addWidget(browseButton);

    auto* settingsGroup = new QGroupBox(Text(text::SettingsGroup), this);
    area_ = NumberEdit(settingsGroup, settings.areaText);
    timeout_ = NumberEdit(settingsGroup, settings.timeoutText);
    auto* form = new QFormLayout(settingsGroup);
    form->addRow(Text(text::AreaLabel), area_);
    form->addRow(Text(text::TimeoutLabel), timeout_);

    logon_ = new QCheckBox(Text(text::ApplyAtLogon), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SaverConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SaverConfigDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(profileGroup);
    layout->addWidget(settingsGroup);
    layout->addWidget(logon_);
    layout->addWidget(buttons);
}

void SaverConfigDialog::BrowseProfile()
{
    const QString chosen = browse_(this, profile_->text());
    if (!chosen.isEmpty())
        profile_->setText(chosen);
}

void SaverConfigDialog::accept()
{
    const SaverSettings settings = SettingsFromTexts(ToPath(profile_->text()), area_->text().toStdString(),
                                                     timeout_->text().toStdString(), logon_->isChecked());
    const OptionProblem problem = CheckSaverOptions(settings);
    if (problem.field != OptionField::None) {
        message_(this, FromPath(problem.message));
        if (QWidget* field = FieldWidget(problem.field))
            field->setFocus();
        return;
    }
    if (WriteSettings(settings))
        QDialog::accept();
}

QWidget* SaverConfigDialog::FieldWidget(OptionField field) const
{
    switch (field) {
    case OptionField::Profile:
        return profile_;
    case OptionField::AreaSize:
        return area_;
    case OptionField::Timeout:
        return timeout_;
    case OptionField::None:
        break;
    }
    return nullptr;
}

// The user's own settings must be written for OK to end the dialog; the system's need
// administrator rights, and their failure is said without losing the user's.
bool SaverConfigDialog::WriteSettings(const SaverSettings& settings)
{
    if (!WriteSaverSettings(RegistryHive::CurrentUser, settings)) {
        message_(this, Text(text::CannotWrite) + FromPath(RegistryKey::HiveFile(RegistryHive::CurrentUser)));
        return false;
    }
    if (settings.applyAtLogon && !WriteSaverSettings(RegistryHive::LogonDefault, settings))
        message_(this, Text(text::LogonNeedsAdmin).arg(FromPath(RegistryKey::HiveFile(RegistryHive::LogonDefault))));
    return true;
}

} // namespace quel::saver
