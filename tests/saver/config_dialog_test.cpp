// The configuration dialog: what it shows, what its OK checks, writes and says.

#include "saver/saver_config_dialog.h"
#include "saver/saver_settings.h"
#include "tests/saver/saver_test_support.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QValidator>

#include <filesystem>
#include <vector>

namespace quel::saver {
namespace {

class SaverConfigDialogTest : public test::SaverHome {
protected:
    SaverConfigDialogTest() { profile_ = Folder().Write("watch.qlmd", "BeginAxis\n").string(); }

    std::unique_ptr<SaverConfigDialog> MakeDialog()
    {
        return std::make_unique<SaverConfigDialog>(
            [this](QWidget*, const QString& text) { messages.push_back(text); },
            [this](QWidget*, const QString& start) {
                browseStarts.push_back(start);
                return browseAnswer;
            });
    }
    void Fill(SaverConfigDialog& dialog, const QString& profile, const QString& area, const QString& timeout)
    {
        dialog.ProfileEdit()->setText(profile);
        dialog.AreaEdit()->setText(area);
        dialog.TimeoutEdit()->setText(timeout);
    }
    QString Profile() const { return QString::fromStdString(profile_); }

    std::string profile_;
    std::vector<QString> messages;
    std::vector<QString> browseStarts;
    QString browseAnswer;
};

TEST_F(SaverConfigDialogTest, ShowsTheStoredTextsAndAClearedLogonBox)
{
    WriteUser("[Screen Saver]\nProfile=/p/x.qlmd\nAreaSize=040\nTimeout=abc\n");
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->windowTitle(), "Screensaver Options for Quellarimond");
    EXPECT_EQ(dialog->ProfileEdit()->text(), "/p/x.qlmd");
    EXPECT_EQ(dialog->AreaEdit()->text(), "040");
    EXPECT_EQ(dialog->TimeoutEdit()->text(), "20");
    EXPECT_FALSE(dialog->LogonBox()->isChecked());
}

TEST_F(SaverConfigDialogTest, EachFailedCheckSaysWhyKeepsTheDialogAndWritesNothing)
{
    const struct {
        QString profile, area, timeout, message;
    } cases[] = {
        {"/no/such/file.qlmd", "40", "20", "Invalid path for the profile:\n/no/such/file.qlmd"},
        {"", "40", "20", "Invalid path for the profile:\n"},
        {Profile(), "0", "20", "Graph gArea should be between 1 and 100 percent."},
        {Profile(), "101", "20", "Graph gArea should be between 1 and 100 percent."},
        {Profile(), "40", "", "Time interval should be between 1 and 100 seconds."},
        {Profile(), "40", "101", "Time interval should be between 1 and 100 seconds."},
        // The path is checked first, then the area.
        {"/no/such/file.qlmd", "0", "0", "Invalid path for the profile:\n/no/such/file.qlmd"},
    };
    for (const auto& c : cases) {
        messages.clear();
        auto dialog = MakeDialog();
        Fill(*dialog, c.profile, c.area, c.timeout);
        dialog->accept();
        ASSERT_EQ(messages.size(), 1u) << c.message.toStdString();
        EXPECT_EQ(messages[0], c.message);
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
    }
    EXPECT_FALSE(std::filesystem::exists(UserFile()));
    EXPECT_FALSE(std::filesystem::exists(SystemFile()));
}

TEST_F(SaverConfigDialogTest, NumberEditsTakeDigitsOnly)
{
    auto dialog = MakeDialog();
    int position = 0;
    QString typed = QStringLiteral("4a");
    EXPECT_NE(dialog->AreaEdit()->validator()->validate(typed, position), QValidator::Acceptable);
    EXPECT_EQ(dialog->TimeoutEdit()->maxLength(), 23);
}

TEST_F(SaverConfigDialogTest, OkStoresTheTextsAsTypedForTheUserOnly)
{
    auto dialog = MakeDialog();
    Fill(*dialog, Profile(), "040", "7");
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.empty());
    SaverSettings s;
    ReadSaverSettings(s);
    EXPECT_EQ(s.profile, profile_);
    EXPECT_EQ(s.areaText, "040");
    EXPECT_EQ(s.timeoutText, "7");
    EXPECT_FALSE(std::filesystem::exists(SystemFile()));
}

TEST_F(SaverConfigDialogTest, ApplyAtLogonWritesTheSystemDefaultsToo)
{
    auto dialog = MakeDialog();
    Fill(*dialog, Profile(), "50", "9");
    dialog->LogonBox()->setChecked(true);
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const std::string system = quel::test::ReadFile(SystemFile());
    EXPECT_NE(system.find("AreaSize=50"), std::string::npos) << system;
    EXPECT_NE(system.find("Profile=" + profile_), std::string::npos) << system;
}

TEST_F(SaverConfigDialogTest, WithoutTheRightToWriteTheSystemFileItSaysAdministratorRightsAreNeeded)
{
    MakeSystemUnwritable();
    auto dialog = MakeDialog();
    Fill(*dialog, Profile(), "50", "9");
    dialog->LogonBox()->setChecked(true);
    dialog->accept();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Administrator rights are needed")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("blocked/Quellarimond.conf")) << messages[0].toStdString();
    // The user's own settings are kept.
    SaverSettings s;
    ReadSaverSettings(s);
    EXPECT_EQ(s.areaText, "50");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(SaverConfigDialogTest, AUserFileThatCannotBeWrittenKeepsTheDialogOpen)
{
    ::setenv("XDG_CONFIG_HOME", (Folder() / "watch.qlmd").c_str(), 1);  // a file, not a folder
    auto dialog = MakeDialog();
    Fill(*dialog, Profile(), "50", "9");
    dialog->accept();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Cannot write to file: ")) << messages[0].toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(SaverConfigDialogTest, BrowseStartsAtTheTypedPathAndTakesTheChosenFile)
{
    auto dialog = MakeDialog();
    dialog->ProfileEdit()->setText("/typed/before.qlmd");
    browseAnswer = Profile();
    dialog->BrowseProfile();
    EXPECT_EQ(browseStarts, (std::vector<QString> {"/typed/before.qlmd"}));
    EXPECT_EQ(dialog->ProfileEdit()->text(), Profile());

    browseAnswer.clear();  // cancelled
    dialog->BrowseProfile();
    EXPECT_EQ(dialog->ProfileEdit()->text(), Profile());
}

} // namespace
} // namespace quel::saver
