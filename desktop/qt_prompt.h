#pragma once
// The Prompt of the running program: Qt dialogs.

#include "desktop/prompt.h"

namespace quel::desktop {

class QtPrompt final : public Prompt {
public:
    void Message(const QString& text) override;
    Answer Question(const QString& text, bool applicationModal) override;
    QString OpenProfileName() override;
    QString SaveProfileName(const QString& suggestion) override;
    QString OpenLogName() override;
    std::optional<QColor> ChooseColor(const QColor& initial, const CustomColors& customColors) override;
};

} // namespace quel::desktop
