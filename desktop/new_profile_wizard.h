#pragma once
// CNewProfileWizard: "Create Monitoring Profile", the one-page wizard shown for every new
// profile. Every click takes effect at once: a counter box rebuilds the profile's axes from the
// standard counter set and restarts sampling, a visual box changes the display. OK keeps what
// is shown, Cancel returns to the default choice and settings, "Counters..." ends the wizard
// with CountersResult so that the counters dialog follows.

#include <QDialog>

#include <array>

class QCheckBox;
class QPushButton;

namespace quel::desktop {

class DialogHost;
class CQuellarimondDoc;

class CNewProfileWizard final : public QDialog {
    Q_OBJECT

public:
    static constexpr int CountersResult = 18;
    static constexpr std::size_t CounterBoxCount = 12;
    static constexpr std::size_t VisualBoxCount = 9;

    CNewProfileWizard(DialogHost& app, CQuellarimondDoc& document, QWidget* parent = nullptr);

    // The standard counter flags of the boxes that are on.
    unsigned CounterFlags() const;
    // Cancel, Escape and the close box: back to the default choice and settings.
    void reject() override;
    void OnCounters();
    void OnHelp();

    // The boxes in table order: left column first, then right; visual boxes column by column.
    QCheckBox& CounterBox(std::size_t index) const { return *counterBoxes_[index]; }
    QCheckBox& VisualBox(std::size_t index) const { return *visualBoxes_[index]; }
    QPushButton& OkButton() const { return *ok_; }
    QPushButton& CancelButton() const { return *cancel_; }
    QPushButton& CountersButton() const { return *counters_; }
    QPushButton& HelpButton() const { return *help_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void OnCounterClicked(std::size_t index);
    void OnVisualClicked();

    DialogHost& app_;
    CQuellarimondDoc& document_;
    std::array<QCheckBox*, CounterBoxCount> counterBoxes_ {};
    std::array<QCheckBox*, VisualBoxCount> visualBoxes_ {};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* counters_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace quel::desktop
