// "Notify When Critical": off until the user turns it on, kept in the user's settings file for
// every profile and never in the profile itself.

#include "tests/desktop/desktop_test_support.h"

#include "desktop/command_ids.h"
#include "desktop/critical_notifier.h"
#include "desktop/main_frame.h"
#include "desktop/menus.h"
#include "desktop/quellarimond_doc.h"
#include "engine/counter_monitor.h"

#include <QAction>
#include <QMenuBar>

namespace quel::desktop::test {
namespace {

class CriticalNotifierTest : public DesktopTest {};

TEST_F(CriticalNotifierTest, TheOptionIsKeptPerUserAndNotInTheProfile)
{
    const std::string profile = MakeProfile(root + "Watched.qlmd");
    const std::string profileText = ReadFile(profile);
    Start({QString::fromStdString(profile)});
    QAction* item = FindCommandAction(*Frame().menuBar(), CmdNotifyCritical);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(Frame().Notifier().Enabled());

    item->trigger();
    EXPECT_TRUE(Frame().Notifier().Enabled());
    EXPECT_EQ(GetRegistry("Settings", "NotifyCritical"), "1");
    EXPECT_FALSE(Monitor().IsModified());
    EXPECT_FALSE(Doc().GetDocumentModified());

    app.reset();
    Start({QString::fromStdString(profile)});
    EXPECT_TRUE(Frame().Notifier().Enabled()) << "read back at the next start";
    Frame().OnCommand(CmdNotifyCritical);
    EXPECT_FALSE(Frame().Notifier().Enabled());
    EXPECT_EQ(GetRegistry("Settings", "NotifyCritical"), "0");
    app.reset();
    EXPECT_EQ(ReadFile(profile), profileText);
}

} // namespace
} // namespace quel::desktop::test
