// The System Configuration Options dialog: what it starts from, and that OK writes only what
// changed (saying how when the rights are missing) while Cancel writes nothing.

#include "desktop/system_config_dialog.h"
#include "desktop/xscreensaver_prefs.h"
#include "tests/desktop/desktop_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include <filesystem>

namespace quel::desktop {
namespace {

using quel::test::ReadFile;
using quel::test::WriteFile;

class SystemConfigTest : public ::testing::Test {
protected:
    SystemConfigTest()
    {
        qputenv("HOME", QByteArray::fromStdString(folder.Path().string()));
        qputenv("QUELLARIMOND_SYSTEM_CONFIG", QByteArray::fromStdString(systemFile.string()));
    }
    ~SystemConfigTest() override
    {
        qunsetenv("QUELLARIMOND_SYSTEM_CONFIG");
        qunsetenv("HOME");
    }
    std::unique_ptr<CSystemConfigDlg> MakeDialog()
    {
        return std::make_unique<CSystemConfigDlg>(prompt, [this](QWidget*, const QString& start) {
            browseStarts.push_back(start);
            return browseAnswer;
        });
    }
    std::filesystem::path Prefs() const { return folder / ".xscreensaver"; }

    quel::test::TempFolder folder;
    std::filesystem::path systemFile = folder / "etc/Quellarimond.conf";
    test::ScriptedPrompt prompt;
    std::vector<QString> browseStarts;
    QString browseAnswer;
};

TEST_F(SystemConfigTest, StartsFromTheUsersXScreenSaverAndTheServiceSettings)
{
    auto blank = MakeDialog();
    EXPECT_EQ(blank->windowTitle(), "System Configuration Options");
    EXPECT_FALSE(blank->UserSaverBox()->isChecked());
    EXPECT_FALSE(blank->LogonSaverBox()->isEnabled());
    EXPECT_EQ(blank->ServiceProfileEdit()->text(), "");

    WriteFile(Prefs(), WithQuelmondSelected("timeout: 0:10:00\n"));
    std::filesystem::create_directories(systemFile.parent_path());
    WriteFile(systemFile, "[Service]\nProfile=/srv/q/server.qlmd\n");
    auto set = MakeDialog();
    EXPECT_TRUE(set->UserSaverBox()->isChecked());
    EXPECT_EQ(set->ServiceProfileEdit()->text(), "/srv/q/server.qlmd");
}

TEST_F(SystemConfigTest, OkWithoutChangesAndCancelAfterBrowseWriteNothing)
{
    const std::string prefs = "mode: random\nselected: 3\n";
    WriteFile(Prefs(), prefs);
    auto unchanged = MakeDialog();
    unchanged->accept();
    EXPECT_EQ(unchanged->result(), QDialog::Accepted);

    auto cancelled = MakeDialog();
    browseAnswer = QString::fromStdString((folder / "chosen.qlmd").string());
    cancelled->BrowseProfile();
    EXPECT_EQ(cancelled->ServiceProfileEdit()->text(), browseAnswer);
    cancelled->UserSaverBox()->setChecked(true);
    cancelled->reject();

    EXPECT_EQ(ReadFile(Prefs()), prefs);
    EXPECT_FALSE(std::filesystem::exists(systemFile));
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(SystemConfigTest, CheckingAndClearingTheUserBoxEditsTheXScreenSaverFile)
{
    auto dialog = MakeDialog();
    dialog->UserSaverBox()->setChecked(true);
    dialog->accept();
    EXPECT_TRUE(SelectsQuelmond(ReadFile(Prefs())));
    EXPECT_FALSE(std::filesystem::exists(systemFile));  // the service profile did not change

    auto clearing = MakeDialog();
    ASSERT_TRUE(clearing->UserSaverBox()->isChecked());
    clearing->UserSaverBox()->setChecked(false);
    clearing->accept();
    EXPECT_NE(ReadFile(Prefs()).find("mode:\t\tblank\n"), std::string::npos);
}

TEST_F(SystemConfigTest, TheServiceProfileIsWrittenAndItsKeyMadeWhenMissing)
{
    std::filesystem::create_directories(systemFile.parent_path());
    WriteFile(systemFile, "[Screen Saver]\nAreaSize=40\n");
    auto dialog = MakeDialog();
    dialog->ServiceProfileEdit()->setText("/srv/q/new.qlmd");
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const std::string system = ReadFile(systemFile);
    EXPECT_NE(system.find("[Service]\nProfile=/srv/q/new.qlmd"), std::string::npos) << system;
    EXPECT_NE(system.find("AreaSize=40"), std::string::npos) << system;
    EXPECT_FALSE(std::filesystem::exists(Prefs()));
}

TEST_F(SystemConfigTest, WithoutTheRightsItSaysSoAndHowAndKeepsTheChoice)
{
    WriteFile(folder / "etc", "a file where the folder should be\n");
    auto dialog = MakeDialog();
    dialog->UserSaverBox()->setChecked(true);
    dialog->ServiceProfileEdit()->setText("/srv/q/new.qlmd");
    dialog->accept();
    ASSERT_EQ(prompt.messages.size(), 1u);
    const QString message = prompt.messages[0];
    EXPECT_TRUE(message.startsWith("Administrator rights are needed")) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromStdString(systemFile.string()))) << message.toStdString();
    EXPECT_TRUE(message.contains("sudoedit")) << message.toStdString();
    EXPECT_TRUE(message.contains("Profile=/srv/q/new.qlmd")) << message.toStdString();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->ServiceProfileEdit()->text(), "/srv/q/new.qlmd");
    // The user's own part was written once and is not written again.
    EXPECT_TRUE(SelectsQuelmond(ReadFile(Prefs())));
    WriteFile(Prefs(), "mode: one\n");
    dialog->accept();
    EXPECT_EQ(ReadFile(Prefs()), "mode: one\n");
}

} // namespace
} // namespace quel::desktop
