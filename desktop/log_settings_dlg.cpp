#include "desktop/log_settings_dlg.h"

#include "desktop/dialog_host.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"
#include "desktop/field_exchange.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace quel::desktop {

namespace {

QButtonGroup* AddRadios(QGroupBox& group, QBoxLayout& layout, std::initializer_list<const char*> texts)
{
    auto* buttons = new QButtonGroup(&group);
    int id = 0;
    for (const char* text : texts) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), &group);
        buttons->addButton(radio, id++);
        layout.addWidget(radio);
    }
    return buttons;
}

void Check(QButtonGroup& group, int id)
{
    if (QAbstractButton* button = group.button(id))
        button->setChecked(true);
}

} // namespace

CLogSettingsDlg::CLogSettingsDlg(DialogHost& app, QWidget* parent) : QDialog(parent), app_(app)
{
    setWindowTitle(QString::fromLatin1(text::LogSettingsCaption));

    auto* report = new QGroupBox(QStringLiteral(" Report about "), this);
    auto* reportLayout = new QVBoxLayout(report);
    modes_ = AddRadios(*report, *reportLayout, {"Nothing", "Everything", "Value Changes", "State Changes"});

    auto* format = new QGroupBox(QStringLiteral(" Log format "), this);
    auto* formatLayout = new QVBoxLayout(format);
    auto* formatRadios = new QHBoxLayout;
    formats_ = AddRadios(*format, *formatRadios, {"HTML", "CSV"});
    formatRadios->addStretch(1);
    size_ = new QLineEdit(format);
    size_->setMaxLength(9);
    size_->setMaximumWidth(size_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("File size limit:"), format));
    sizeRow->addWidget(size_);
    sizeRow->addWidget(new QLabel(QStringLiteral("KBytes"), format));
    sizeRow->addStretch(1);
    formatLayout->addLayout(formatRadios);
    formatLayout->addLayout(sizeRow);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CLogSettingsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CLogSettingsDlg::reject);
    connect(help_, &QPushButton::clicked, this,
            [this] { app_.ShowHelp(text::DialogHelp + text::LogSettingsTemplate); });
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {ok_, cancel, help_})
        buttons->addWidget(button);
    buttons->addStretch(1);

    auto* groups = new QVBoxLayout;
    groups->addWidget(report);
    groups->addWidget(format);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    SetValues(logMode_, logFormat_, fileSize_);
}

void CLogSettingsDlg::SetValues(int logMode, int logFormat, int fileSize)
{
    logMode_ = logMode;
    logFormat_ = logFormat;
    fileSize_ = fileSize;
    Check(*modes_, logMode);
    Check(*formats_, logFormat);
    size_->setText(QString::number(fileSize));
}

void CLogSettingsDlg::accept()
{
    int size = 0;
    const IntegerField read = ReadInteger(size_->text().toStdString(), MinFileSize, MaxFileSize, size);
    if (read != IntegerField::Ok) {
        app_.GetPrompt().Message(QString::fromStdString(IntegerFieldMessage(read, MinFileSize, MaxFileSize)));
        size_->setFocus();
        size_->selectAll();
        return;
    }
    // A group without a checked radio keeps its value.
    if (formats_->checkedId() >= 0)
        logFormat_ = formats_->checkedId();
    if (modes_->checkedId() >= 0)
        logMode_ = modes_->checkedId();
    fileSize_ = size;
    QDialog::accept();
}

void CLogSettingsDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

} // namespace quel::desktop
