#pragma once
// CRemoteHostDlg: "Monitor Remote Host", where the user names the computer whose counters the
// profile monitors; an empty name means this computer.

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace quel::desktop {

class DialogHost;

class CRemoteHostDlg final : public QDialog {
    Q_OBJECT

public:
    CRemoteHostDlg(DialogHost& app, QWidget* parent = nullptr);

    // After OK: the name exactly as typed (no trimming, no check).
    const std::string& ComputerName() const { return computer_; }

    void accept() override;

    QLineEdit& ComputerField() const { return *field_; }
    QPushButton& OkButton() const { return *ok_; }
    QPushButton& HelpButton() const { return *help_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    DialogHost& app_;
    std::string computer_;
    QLineEdit* field_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace quel::desktop
