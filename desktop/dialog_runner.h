#pragma once
// Every modal dialog of the program runs through a DialogRunner, so that tests drive the
// dialogs the program opens instead of waiting in their event loops.

class QDialog;

namespace quel::desktop {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Runs the dialog modally and returns its result (QDialog::Accepted, Rejected or another code).
    virtual int Run(QDialog& dialog) = 0;
};

} // namespace quel::desktop
