// quelmondsrvc -install and -remove against a fake systemctl and a temporary unit folder.

#include "service_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace quel::test;

namespace {

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(root_ / "units");
        fs::create_directory(root_ / "systemd");
        // The fake records its arguments, answers "show" with the next line of "states" (and
        // fails when there is none) and ends "daemon-reload" with the status in "reload".
        WriteFile(root_ / "systemctl",
                  "#!/bin/sh\n"
                  "cd '" + root_.Path().string() + "' || exit 99\n"
                  "echo \"$*\" >> calls\n"
                  "case \"$1\" in\n"
                  "show) state=$(head -n 1 states 2>/dev/null); [ -n \"$state\" ] || exit 1\n"
                  "      sed -i 1d states; echo \"$state\" ;;\n"
                  "daemon-reload) exit $(cat reload 2>/dev/null || echo 0) ;;\n"
                  "esac\n"
                  "exit 0\n");
        fs::permissions(root_ / "systemctl", fs::perms::owner_all);
        process_.SetEnv("QUELLARIMOND_UNIT_DIR", root_ / "units");
        process_.SetEnv("QUELLARIMOND_SYSTEMCTL", root_ / "systemctl");
        process_.SetEnv("QUELLARIMOND_SYSTEMD_DIR", root_ / "systemd");
        process_.SetEnv("QUELLARIMOND_ASSUME_ROOT", "1");
        fs::create_directory(root_ / "package-units");
        process_.SetEnv("QUELLARIMOND_PACKAGE_UNIT_DIR", root_ / "package-units");
    }

    std::string Unit() const { return root_ / "units/quellarimond.service"; }
    std::string Calls() const { return ReadFile(root_ / "calls"); }
    void Install()
    {
        ASSERT_EQ(process_.Run({"-install"}), 0);
        ASSERT_EQ(process_.Stdout(), "Service Quellarimond has been installed.\n");
        fs::remove(root_ / "calls");
    }

    TempFolder root_;
    ServiceProcess process_;
};

const char* const Show = "show --property=ActiveState --value quellarimond.service\n";
const char* const StopCall = "stop --no-block quellarimond.service\n";
const char* const DisableAndReload = "disable --quiet quellarimond.service\ndaemon-reload\n";

TEST_F(InstallTest, InstallWritesTheUnitOnceAndReloadsSystemd)
{
    EXPECT_EQ(process_.Run({"-install"}), 0);
    EXPECT_EQ(process_.Stdout(), "Service Quellarimond has been installed.\n");
    EXPECT_EQ(Calls(), "daemon-reload\n");
    const std::string unit = ReadFile(Unit());
    EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos);
    EXPECT_NE(unit.find("\nExecStart=" + fs::canonical(ServiceBinary()).string() + "\n"), std::string::npos);
    EXPECT_NE(unit.find("\n[Install]\nWantedBy=multi-user.target\n"), std::string::npos);
    // The metrics listener needs IP sockets; nothing else is opened up.
    EXPECT_NE(unit.find("\nRestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n"), std::string::npos);
    EXPECT_EQ(unit.find("AF_NETLINK"), std::string::npos);
    EXPECT_EQ(unit.find("AF_PACKET"), std::string::npos);
    EXPECT_EQ(fs::status(Unit()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    // A second install leaves the installed unit alone.
    WriteFile(Unit(), unit + "# edited\n");
    EXPECT_EQ(process_.Run({"/INSTALL"}), 1);
    EXPECT_EQ(process_.Stdout(), "CreateService failed:\n  File exists (0x11)\n");
    EXPECT_EQ(ReadFile(Unit()), unit + "# edited\n");
    EXPECT_EQ(fs::directory_iterator(root_ / "units")->path().filename(), "quellarimond.service");
}

TEST_F(InstallTest, UnitShippedByThePackageIsNotInstalledAgain)
{
    WriteFile(root_ / "package-units/quellarimond.service", "[Service]\nExecStart=/usr/bin/quelmondsrvc\n");
    EXPECT_EQ(process_.Run({"-install"}), 1);
    EXPECT_EQ(process_.Stdout(), "");
    EXPECT_NE(process_.Stderr().find("already provides the unit " + (root_ / "package-units").string() +
                                     "/quellarimond.service"), std::string::npos) << process_.Stderr();
    EXPECT_NE(process_.Stderr().find("systemctl enable --now quellarimond"), std::string::npos);
    EXPECT_FALSE(fs::exists(Unit()));
    EXPECT_FALSE(fs::exists(root_ / "calls"));  // systemd was left alone
}

TEST_F(InstallTest, UnitPassesSystemdVerification)
{
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    Install();
    const std::string command = "systemd-analyze verify '" + Unit() + "' > '" + (root_ / "verify").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(root_ / "verify");
    EXPECT_EQ(ReadFile(root_ / "verify"), "");
}

TEST_F(InstallTest, ProgramPathsWithBlanksPercentDollarAndUnicodeGiveUnitsSystemdAccepts)
{
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    for (const char* folder : {"My Tools", "100%", "$HOME", "a;b", "\xC3\xBCn\xC3\xAF"}) {
        const fs::path program = root_ / "bin" / folder / "quelmondsrvc";
        fs::create_directories(program.parent_path());
        fs::copy_file(ServiceBinary(), program);
        process_.SetProgram(program);
        Install();
        const std::string command =
            "systemd-analyze verify '" + Unit() + "' > '" + (root_ / "verify").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << folder << ": " << ReadFile(root_ / "verify");
        EXPECT_EQ(ReadFile(root_ / "verify"), "") << folder;
        fs::remove(Unit());
    }
}

TEST_F(InstallTest, ProgramPathSystemdCannotRunIsRefusedAndNothingIsInstalled)
{
    const std::pair<const char*, const char*> folders[] = {
        {"tab\there", "a tab, which systemd does not allow in a command"},
        {"it's", "a quote, which systemd does not allow in a command"},
        {"back\\slash", "a backslash, which systemd does not allow in a command"},
    };
    for (const auto& [folder, reason] : folders) {
        const fs::path program = root_ / "bin" / folder / "quelmondsrvc";
        fs::create_directories(program.parent_path());
        fs::copy_file(ServiceBinary(), program);
        process_.SetProgram(program);
        EXPECT_EQ(process_.Run({"-install"}), 1);
        EXPECT_EQ(process_.Stdout(), "Unable to install Quellarimond - systemd cannot run " + program.string() +
                                         ": the path holds " + reason + "; move the program to another folder\n");
        EXPECT_FALSE(fs::exists(Unit()));
        EXPECT_EQ(Calls(), "");
    }
    const fs::path latin1 = root_ / "bin" / "caf\xE9" / "quelmondsrvc";
    fs::create_directories(latin1.parent_path());
    fs::copy_file(ServiceBinary(), latin1);
    process_.SetProgram(latin1);
    EXPECT_EQ(process_.Run({"-install"}), 1);
    EXPECT_NE(process_.Stdout().find(": the path is not valid UTF-8; "), std::string::npos);
    EXPECT_FALSE(fs::exists(Unit()));
}

TEST_F(InstallTest, FailedReloadTakesTheUnitBack)
{
    WriteFile(root_ / "reload", "1\n");
    EXPECT_EQ(process_.Run({"-install"}), 1);
    EXPECT_EQ(process_.Stdout(), "CreateService failed:\n  systemctl daemon-reload: exit status 1\n");
    EXPECT_FALSE(fs::exists(Unit()));
}

TEST_F(InstallTest, RemoveStopsARunningServiceWithDotsWhileItStops)
{
    Install();
    WriteFile(root_ / "states", "active\ndeactivating\ndeactivating\ninactive\n");
    EXPECT_EQ(process_.Run({"-remove"}), 0);
    EXPECT_EQ(process_.Stdout(),
              "Stopping service Quellarimond...\nService Quellarimond stopped.\nService Quellarimond removed.\n");
    EXPECT_EQ(Calls(), std::string(Show) + StopCall + Show + Show + Show + DisableAndReload);
    EXPECT_FALSE(fs::exists(Unit()));
}

TEST_F(InstallTest, RemoveOfAStoppedServiceSkipsTheStoppingLines)
{
    Install();
    WriteFile(root_ / "states", "inactive\n");
    EXPECT_EQ(process_.Run({"-REMOVE"}), 0);
    EXPECT_EQ(process_.Stdout(), "Service Quellarimond removed.\n");
    EXPECT_EQ(Calls(), std::string(Show) + DisableAndReload);
    EXPECT_FALSE(fs::exists(Unit()));
}

TEST_F(InstallTest, RemoveSaysWhenTheServiceDidNotStop)
{
    Install();
    WriteFile(root_ / "states", "active\n");  // then systemctl show fails
    EXPECT_EQ(process_.Run({"/Remove"}), 0);
    EXPECT_EQ(process_.Stdout(),
              "Stopping service Quellarimond.\nService Quellarimond failed to stop.\nService Quellarimond removed.\n");
}

TEST_F(InstallTest, RemoveWithoutUnit)
{
    EXPECT_EQ(process_.Run({"-remove"}), 1);
    EXPECT_EQ(process_.Stdout(), "OpenService failed:\n  No such file or directory (0x2)\n");
    EXPECT_EQ(Calls(), "");
}

TEST_F(InstallTest, NeedsRootAndSystemd)
{
    process_.SetEnv("QUELLARIMOND_ASSUME_ROOT", "0");
    for (const char* option : {"-install", "-remove"}) {
        EXPECT_EQ(process_.Run({option}), 1);
        EXPECT_EQ(process_.Stdout(), "OpenSCManager failed:\n  Operation not permitted (0x1)\n"
                                     "  Installing or removing the service needs root: run it with sudo.\n");
    }
    process_.SetEnv("QUELLARIMOND_ASSUME_ROOT", "1");
    process_.SetEnv("QUELLARIMOND_SYSTEMD_DIR", root_ / "no-systemd");
    EXPECT_EQ(process_.Run({"-install"}), 1);
    EXPECT_EQ(process_.Stdout(), "OpenSCManager failed:\n  No such file or directory (0x2)\n"
                                 "  systemd is not running on this machine (" +
                                     (root_ / "no-systemd").string() + " is missing).\n");
    EXPECT_FALSE(fs::exists(Unit()));
    EXPECT_EQ(Calls(), "");
}

} // namespace
