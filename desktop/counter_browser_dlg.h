#pragma once
// CCounterBrowserDlg: "Select Counters", the counter browser. It lists a computer's objects,
// each object's counters and instances and an explanation of the selected counter with its
// current value, narrowed by a filter as the user types. Another computer is listed off the
// window's thread, the browser saying "Connecting to X..." meanwhile. Add hands the selected
// paths to a callback and leaves the browser open; Close ends it.

#include "desktop/counter_browser_model.h"
#include "desktop/counter_value_reader.h"
#include "desktop/object_lister.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quel::desktop {

struct CounterBrowserOptions {
    std::string initialPath;     // its computer and object are chosen at opening
    bool includeCostly = false;  // list costly objects too
    std::string hostName;        // this computer's name; empty: the system's
    // Lists other computers; it must outlive the browser. Null: the browser's own, which the
    // browser waits for when it closes during a listing.
    ObjectLister* lister = nullptr;
};

class CCounterBrowserDlg final : public QDialog {
    Q_OBJECT

public:
    using AddPaths = std::function<void(const std::vector<std::string>& paths)>;

    CCounterBrowserDlg(PerfDataSource& source, CounterBrowserOptions options, AddPaths onAdd,
                       QWidget* parent = nullptr);
    ~CCounterBrowserDlg() override;

    // The paths of every selected counter on every selected instance, counter by counter.
    std::vector<std::string> SelectedPaths() const;
    void OnAdd();
    // Lists the objects of the computer in the computer field: this computer at once, another
    // one off the window's thread (Connecting() until its answer arrives).
    void ListComputer();
    bool Connecting() const { return connecting_; }
    // Narrows the lists to the filter text.
    void ApplyFilter();

    QLineEdit& ComputerField() const { return *computer_; }
    QLineEdit& FilterField() const { return *filter_; }
    QListWidget& ObjectList() const { return *objects_; }
    QListWidget& CounterList() const { return *counters_; }
    QListWidget& InstanceList() const { return *instances_; }
    QPlainTextEdit& ExplainBox() const { return *explain_; }
    QPushButton& AddButton() const { return *add_; }
    QPushButton& CloseButton() const { return *close_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Enter in the computer or filter field lists or filters; it does not press Add.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    const BrowsedObject* CurrentObject() const;
    void FillItems();
    void UpdateExplanation();
    void ShowValue(std::uint64_t generation, PerfStatus status, double value);
    void ShowListing(std::uint64_t generation, PerfStatus status, const std::vector<BrowsedObject>& objects);
    // Shows what a listing of the computer brought: its objects, or that it cannot be reached.
    void ListingEnded(PerfStatus status);
    QString ConnectingText() const;
    std::string CurrentPath() const;
    void SelectInitialPath();

    PerfDataSource& source_;
    CounterBrowserOptions options_;
    AddPaths onAdd_;
    std::string listedComputer_;
    std::vector<BrowsedObject> browsed_;
    std::string unreachable_;  // the message while the computer cannot be listed
    bool connecting_ = false;  // another computer is being listed
    std::uint64_t listing_ = 0;         // the generation of the listing awaited
    std::uint64_t initialListing_ = 0;  // the listing on which the initial path is chosen
    std::uint64_t watched_ = 0;
    QString explanation_;
    QString valueText_;

    QLineEdit* computer_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QListWidget* objects_ = nullptr;
    QListWidget* counters_ = nullptr;
    QListWidget* instances_ = nullptr;
    QPlainTextEdit* explain_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* close_ = nullptr;
    std::unique_ptr<ObjectLister> ownLister_;
    ObjectLister& lister_;
    CounterValueReader reader_;  // last: its thread ends before the controls go
};

} // namespace quel::desktop
