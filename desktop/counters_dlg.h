#pragma once
// CCountersDlg: "Performance Counters", where the user edits the open profile's counters: adds
// them through the counter browser, deletes, clears and reorders them and edits each counter's
// axis (label, bounds, scale, inverse). It works on a copy of the axes (WorkingList) and carries
// the copy into the monitor on Apply or OK: rebuilt with a restart of sampling when counters
// were added, removed or reordered, changed in place otherwise.

#include "desktop/working_list.h"

#include <QDialog>
#include <QString>

#include <string>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quel::desktop {

class DialogHost;
class CQuellarimondDoc;

class CCountersDlg final : public QDialog {
    Q_OBJECT

public:
    CCountersDlg(DialogHost& app, CQuellarimondDoc& document, QWidget* parent = nullptr);

    // The way the browser's paths enter the list; false when the list is full, the path empty
    // or not a counter path (the last after a message).
    bool AddCounterPath(const std::string& path);
    // Carries WorkingList into the monitor.
    void ApplyToMonitor();

    // Buttons, for the dialog's own signals and for tests.
    void OnAdd();
    void OnDelete();
    void OnClearAll();
    void OnUp();
    void OnDown();
    void OnApply();
    void OnComputer();
    void OnHelp();
    // The counter browser, opened on initialPath (empty: the browse path).
    void BrowseCounters(const std::string& initialPath);

    // OK: the fields are stored first; an invalid field keeps the dialog open.
    void accept() override;

    const WorkingList& GetWorkingList() const { return list_; }
    int CurrentEntry() const { return currentEntry_; }
    bool ListChanged() const { return listChanged_; }
    bool AxesChanged() const { return axesChanged_; }
    bool IncludeCostly() const;

    // The controls, in tab order.
    QListWidget& CounterList() const { return *counterList_; }
    QPushButton& AddButton() const { return *add_; }
    QPushButton& DeleteButton() const { return *delete_; }
    QPushButton& ClearAllButton() const { return *clearAll_; }
    QPushButton& UpButton() const { return *up_; }
    QPushButton& DownButton() const { return *down_; }
    QCheckBox& CostlyBox() const { return *costly_; }
    QLineEdit& LabelField() const { return *label_; }
    QLineEdit& MinField() const { return *min_; }
    QLineEdit& MaxField() const { return *max_; }
    QLineEdit& CriticalField() const { return *critical_; }
    QLineEdit& ScaleField() const { return *scale_; }
    QCheckBox& InverseBox() const { return *inverse_; }
    QPushButton& OkButton() const { return *ok_; }
    QPushButton& CancelButton() const { return *cancel_; }
    QPushButton& ComputerButton() const { return *computer_; }
    QPushButton& ApplyButton() const { return *apply_; }
    QPushButton& HelpButton() const { return *help_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void Connect();
    void LoadSelected();
    bool StoreSelected();
    void FillList();
    void UpdateMoveButtons();
    void EnableMoveButtons();
    void SwapEntries(int a, int b);
    void SelectLine(int line);
    int SelectedLine() const;
    // The fields to the members with their checks; false after the message.
    bool ControlsToMembers();
    void MembersToControls();
    QLineEdit& FieldOf(AxisField field) const;
    void Message(const QString& text);

    DialogHost& app_;
    CQuellarimondDoc& document_;
    WorkingList list_;
    int currentEntry_ = -1;
    bool skipNextStore_ = false;
    bool listChanged_ = false;
    bool axesChanged_ = false;
    CounterEntry fields_;  // the field values (path unused)
    std::string browsePath_;

    QListWidget* counterList_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* clearAll_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QCheckBox* costly_ = nullptr;
    QLineEdit* label_ = nullptr;
    QLineEdit* min_ = nullptr;
    QLineEdit* max_ = nullptr;
    QLineEdit* critical_ = nullptr;
    QLineEdit* scale_ = nullptr;
    QCheckBox* inverse_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* computer_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace quel::desktop
