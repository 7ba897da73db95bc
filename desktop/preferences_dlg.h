#pragma once
// CPreferencesDlg: "Preferences", the profile's update interval, history length, critical
// circle, grid step and label truncation. Apply and OK store into the profile at once.

#include <QDialog>

#include <array>

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace quel::desktop {

class DialogHost;
class CQuellarimondDoc;
class CSpinField;

class CPreferencesDlg final : public QDialog {
    Q_OBJECT

public:
    CPreferencesDlg(DialogHost& app, CQuellarimondDoc& document, QWidget* parent = nullptr);

    // The store step: the spin positions into the settings, the lists and the radios into the
    // wind rose's options.
    void Store();
    void OnApply();
    void accept() override;

    CSpinField& IntervalField() const { return *interval_; }
    CSpinField& HistoryField() const { return *history_; }
    QComboBox& CriticalList() const { return *critical_; }
    QComboBox& GridList() const { return *grid_; }
    QRadioButton& TruncationRadio(int choice) const { return *truncation_[static_cast<std::size_t>(choice)]; }
    QPushButton& OkButton() const { return *ok_; }
    QPushButton& ApplyButton() const { return *apply_; }
    QPushButton& HelpButton() const { return *help_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void Initialize();
    // The fields to the members with their checks; false after the message.
    bool ControlsToMembers();
    void Changed();

    DialogHost& app_;
    CQuellarimondDoc& document_;
    int historyValue_ = 0;
    int intervalValue_ = 0;
    int truncationChoice_ = -1;
    bool initializing_ = false;

    CSpinField* interval_ = nullptr;
    CSpinField* history_ = nullptr;
    QComboBox* critical_ = nullptr;
    QComboBox* grid_ = nullptr;
    QButtonGroup* truncationGroup_ = nullptr;
    std::array<QRadioButton*, 3> truncation_ {};
    QPushButton* ok_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace quel::desktop
