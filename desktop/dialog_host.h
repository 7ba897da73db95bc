#pragma once
// DialogHost: what the dialogs ask of the program (message boxes, the desktop shell, nested
// dialogs, help pages, the lister of other computers). The application provides it, so no
// dialog needs the application itself.

#include "desktop/object_lister.h"
#include "desktop/prompt.h"

class QDialog;

namespace quel::desktop {

class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual Prompt& GetPrompt() const = 0;
    virtual Shell& GetShell() const = 0;
    // Runs a modal dialog; returns the dialog's result.
    virtual int RunDialog(QDialog& dialog) const = 0;
    // Help context: 0 contents, 0x20000 + dialog template id, 0x30000 + prompt id.
    virtual void ShowHelp(unsigned helpContext) = 0;
    virtual ObjectLister& Lister() = 0;
};

} // namespace quel::desktop
