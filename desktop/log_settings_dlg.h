#pragma once
// CLogSettingsDlg: "Log Settings": what is logged, the log's format and the size limit of a log
// file. The caller fills the three values in and takes them back after OK.

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QPushButton;

namespace quel::desktop {

class DialogHost;

class CLogSettingsDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int MinFileSize = 1;
    static constexpr int MaxFileSize = 10240;

    CLogSettingsDlg(DialogHost& app, QWidget* parent = nullptr);

    // Before the dialog runs: the values it shows.
    void SetValues(int logMode, int logFormat, int fileSize);
    // After OK: the values taken.
    int LogMode() const { return logMode_; }
    int LogFormat() const { return logFormat_; }
    int FileSize() const { return fileSize_; }

    void accept() override;

    QButtonGroup& ModeGroup() const { return *modes_; }
    QButtonGroup& FormatGroup() const { return *formats_; }
    QLineEdit& SizeField() const { return *size_; }
    QPushButton& OkButton() const { return *ok_; }
    QPushButton& HelpButton() const { return *help_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    DialogHost& app_;
    int logMode_ = -1;
    int logFormat_ = -1;
    int fileSize_ = 64;
    QButtonGroup* modes_ = nullptr;
    QButtonGroup* formats_ = nullptr;
    QLineEdit* size_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace quel::desktop
