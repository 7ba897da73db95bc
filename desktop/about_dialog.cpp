#include "desktop/about_dialog.h"

#include "desktop/dialog_support.h"
#include "desktop/static_link.h"
#include "desktop/string_table.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace quel::desktop {

CAboutDlg::CAboutDlg(QWidget* parent, Shell& shell, Prompt& prompt, const QString& linkAddress,
                     std::function<void()> beforeOpen)
    : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(text::AboutCaption));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/quellarimond/quellarimond.svg")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("<b>Quellarimond</b>"), this);
    auto* version = new QLabel(QString::fromLatin1(text::VersionLine), this);
    auto* notice = new QLabel(
        QStringLiteral("A system performance monitor: every counter of a profile is a spoke of one\n"
                       "wind rose, with its maximal, average and current values."),
        this);
    link_ = new CStaticLink(QStringLiteral("Quellarimond help"), linkAddress, shell, prompt, this);
    link_->SetBeforeOpen(std::move(beforeOpen));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(notice);
    texts->addWidget(link_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

void CAboutDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnDesktop(*this);  // whatever window opened it
}

} // namespace quel::desktop
