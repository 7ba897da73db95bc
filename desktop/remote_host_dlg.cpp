#include "desktop/remote_host_dlg.h"

#include "desktop/dialog_host.h"
#include "desktop/dialog_support.h"
#include "desktop/dialog_texts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quel::desktop {

CRemoteHostDlg::CRemoteHostDlg(DialogHost& app, QWidget* parent) : QDialog(parent), app_(app)
{
    setWindowTitle(QString::fromLatin1(text::RemoteHostCaption));

    auto* group = new QGroupBox(QStringLiteral(" Connect to "), this);
    field_ = new QLineEdit(group);
    field_->setMinimumWidth(260);
    auto* explanation = new QLabel(QString::fromLatin1(text::RemoteHostText), group);
    explanation->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Computer: "), group));
    row->addWidget(field_, 1);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(row);
    groupLayout->addWidget(explanation);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CRemoteHostDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRemoteHostDlg::reject);
    connect(help_, &QPushButton::clicked, this,
            [this] { app_.ShowHelp(text::DialogHelp + text::RemoteHostTemplate); });
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    buttons->addWidget(help_);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
}

void CRemoteHostDlg::accept()
{
    computer_ = field_->text().toStdString();
    QDialog::accept();
}

void CRemoteHostDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);
}

} // namespace quel::desktop
