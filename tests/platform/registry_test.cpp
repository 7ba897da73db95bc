#include "platform/registry.h"
#include "tests/support/temp_folder.h"
#include "tests/support/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using quel::RegistryHive;
using quel::RegistryKey;
using quel::test::ReadFile;
using quel::test::TempFolder;
using quel::test::WriteFile;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    static std::string Get(const RegistryKey& key, const std::string& name)
    {
        std::string value = "<missing>";
        key.GetString(name, value);
        return value;
    }

    TempFolder dir_;
    std::string file_ = dir_ / "Quellarimond.conf";
};

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(RegistryTest, HiveFilesFollowTheEnvironment)
{
    {
        ScopedEnv system("QUELLARIMOND_SYSTEM_CONFIG", nullptr);
        EXPECT_EQ(RegistryKey::HiveFile(RegistryHive::LogonDefault), "/etc/quellarimond/Quellarimond.conf");
    }
    {
        ScopedEnv system("QUELLARIMOND_SYSTEM_CONFIG", "/srv/q.conf");
        EXPECT_EQ(RegistryKey::HiveFile(RegistryHive::LogonDefault), "/srv/q.conf");
    }
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(RegistryKey::HiveFile(RegistryHive::CurrentUser), "/cfg/Tolvane/Quellarimond.conf");
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", "relative");  // not absolute: ignored
        EXPECT_EQ(RegistryKey::HiveFile(RegistryHive::CurrentUser), "/home/ann/.config/Tolvane/Quellarimond.conf");
    }
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    EXPECT_EQ(RegistryKey::HiveFile(RegistryHive::CurrentUser), "");
    EXPECT_FALSE(RegistryKey::Create(RegistryHive::CurrentUser, "Settings"));
}

TEST_F(RegistryTest, CreateMakesFolderFileAndKeyThatOpenFinds)
{
    const std::string nested = dir_ / "a" / "b" / "Quellarimond.conf";
    EXPECT_FALSE(RegistryKey::OpenFile(nested, "Service"));
    auto key = RegistryKey::CreateFile(nested, "Service");
    ASSERT_TRUE(key);
    std::string unset;
    EXPECT_FALSE(key->GetString("Profile", unset));
    ASSERT_TRUE(key->SetString("Profile", "/srv/profiles/web server.qlmd"));

    ScopedEnv system("QUELLARIMOND_SYSTEM_CONFIG", nested.c_str());
    auto reopened = RegistryKey::Open(RegistryHive::LogonDefault, "service");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(Get(*reopened, "PROFILE"), "/srv/profiles/web server.qlmd");
    EXPECT_FALSE(RegistryKey::Open(RegistryHive::LogonDefault, "Settings"));

    EXPECT_EQ(ReadFile(nested), "[Service]\nProfile=/srv/profiles/web server.qlmd\n");
}

TEST_F(RegistryTest, ReadsHandWrittenFilesLeniently)
{
    WriteFile(file_, "Stray=before any key\r\n"
                     "; comment=not a value\r\n"
                     "[Settings]\r\n"
                     "Interval=5\r\n"
                     "# Hidden=1\r\n"
                     "just some text\r\n"
                     "Url=http://x/?a=b\r\n"
                     "Empty=\r\n"
                     "[SERVICE]\r\n"
                     "Profile=/first.qlmd\r\n"
                     "[Other]\r\n"
                     "Profile=/other.qlmd\r\n"
                     "[service]\r\n"
                     "profile=/second.qlmd");  // no final line end
    auto settings = RegistryKey::OpenFile(file_, "Settings");
    ASSERT_TRUE(settings);
    EXPECT_EQ(Get(*settings, "Interval"), "5");
    EXPECT_EQ(Get(*settings, "Url"), "http://x/?a=b");
    EXPECT_EQ(Get(*settings, "Empty"), "");
    EXPECT_EQ(Get(*settings, "Hidden"), "<missing>");
    EXPECT_EQ(Get(*settings, "Stray"), "<missing>");
    EXPECT_EQ(Get(*settings, "just some text"), "<missing>");
    EXPECT_EQ(Get(*settings, "; comment"), "<missing>");

    auto service = RegistryKey::OpenFile(file_, "Service");
    ASSERT_TRUE(service);
    EXPECT_EQ(Get(*service, "Profile"), "/second.qlmd");  // the later line wins
}

TEST_F(RegistryTest, StrayCarriageReturnsAreNotPartOfAValueBeforeOrAfterARewrite)
{
    WriteFile(file_, "[Settings]\r\r\nInterval=5\r\r\r\nUrl=a\rb\r\n");
    auto settings = RegistryKey::OpenFile(file_, "Settings");
    ASSERT_TRUE(settings);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Get(*settings, "Interval"), "5");
        EXPECT_EQ(Get(*settings, "Url"), "a\rb");
        EXPECT_TRUE(settings->SetString("History", "20"));  // rewrites the file with LF line ends
    }
}

TEST_F(RegistryTest, WritesKeepCommentsOtherKeysAndOrder)
{
    WriteFile(file_, "# written by hand\n[Settings]\nInterval=5\n\n[Service]\nProfile=/a.qlmd\nprofile=/b.qlmd\n\n[Screen Saver]\nPeriod=3\n");
    auto settings = RegistryKey::OpenFile(file_, "Settings");
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->SetString("History", "20"));
    auto service = RegistryKey::OpenFile(file_, "Service");
    ASSERT_TRUE(service);
    EXPECT_TRUE(service->SetString("Profile", "/c.qlmd"));
    EXPECT_EQ(ReadFile(file_), "# written by hand\n[Settings]\nInterval=5\nHistory=20\n\n[Service]\nProfile=/c.qlmd\n\n"
                               "[Screen Saver]\nPeriod=3\n");
    EXPECT_EQ(Get(*service, "Profile"), "/c.qlmd");

    EXPECT_TRUE(service->DeleteValue("PROFILE"));
    EXPECT_FALSE(service->DeleteValue("Profile"));
    EXPECT_EQ(Get(*service, "Profile"), "<missing>");
    EXPECT_EQ(ReadFile(file_), "# written by hand\n[Settings]\nInterval=5\nHistory=20\n\n[Service]\n\n[Screen Saver]\nPeriod=3\n");

    auto created = RegistryKey::CreateFile(file_, "Recent File List");
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->SetString("File1", "/x.qlmd"));
    EXPECT_EQ(Get(*RegistryKey::OpenFile(file_, "recent file list"), "file1"), "/x.qlmd");
    EXPECT_EQ(Get(*RegistryKey::OpenFile(file_, "Screen Saver"), "Period"), "3");
}

TEST_F(RegistryTest, RefusesTextsThatWouldNotReadBack)
{
    WriteFile(file_, "[Service]\nProfile=/a.qlmd\n");
    auto key = RegistryKey::OpenFile(file_, "Service");
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->SetString("Profile", "/a.qlmd\n[Settings]"));
    EXPECT_FALSE(key->SetString("Profile", "/a\r.qlmd"));
    EXPECT_FALSE(key->SetString("Profile", std::string("/a\0b", 4)));
    EXPECT_FALSE(key->SetString("A=B", "x"));
    EXPECT_FALSE(key->SetString("#Hidden", "x"));
    EXPECT_FALSE(key->SetString("[Settings]", "x"));
    EXPECT_FALSE(RegistryKey::CreateFile(file_, "Bad]Key"));
    EXPECT_FALSE(RegistryKey::CreateFile(file_, ""));
    EXPECT_FALSE(RegistryKey::CreateFile(file_, "Two\nLines"));
    EXPECT_EQ(ReadFile(file_), "[Service]\nProfile=/a.qlmd\n");
}

TEST_F(RegistryTest, FilesThatAreNotSettingsBehaveAsMissingKeys)
{
    // A folder, a FIFO (opening it must not block), an oversized file, an impossible folder.
    fs::create_directory(file_);
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service"));
    EXPECT_FALSE(RegistryKey::CreateFile(file_, "Service"));
    fs::remove(file_);

    ASSERT_EQ(::mkfifo(file_.c_str(), 0644), 0);
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service"));
    EXPECT_FALSE(RegistryKey::CreateFile(file_, "Service"));
    fs::remove(file_);

    WriteFile(file_, "[Service]\nProfile=" + std::string(2 << 20, 'x') + "\n");
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service"));
    fs::remove(file_);

    WriteFile(file_, "[Service]\n");
    const std::string underFile = file_ + "/sub/Quellarimond.conf";
    EXPECT_FALSE(RegistryKey::CreateFile(underFile, "Service"));
    EXPECT_EQ(ReadFile(file_), "[Service]\n");
}

TEST_F(RegistryTest, OpenSaysWhyAnExistingFileCannotBeRead)
{
    std::string problem = "stale";
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service", problem));
    EXPECT_EQ(problem, "") << "a missing file is no problem";
    WriteFile(file_, "[Settings]\n");
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service", problem));
    EXPECT_EQ(problem, "") << "nor a missing key";

    // Over the limit: the reader says so instead of acting as if nothing were chosen.
    WriteFile(file_, "[Service]\nProfile=/srv/a.qlmd\n#" + std::string(1 << 20, 'x') + "\n");
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service", problem));
    EXPECT_EQ(problem, "the file is larger than 1 MiB");
    fs::remove(file_);
    fs::create_directory(file_);
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service", problem));
    EXPECT_EQ(problem, "Is a directory");
    fs::remove(file_);
    ASSERT_EQ(::mkfifo(file_.c_str(), 0644), 0);
    EXPECT_FALSE(RegistryKey::OpenFile(file_, "Service", problem));
    EXPECT_EQ(problem, "not a regular file");
}

TEST_F(RegistryTest, KeyRemovedByAnotherWriterIsNotRecreated)
{
    WriteFile(file_, "[Service]\n");
    auto key = RegistryKey::OpenFile(file_, "Service");
    ASSERT_TRUE(key);
    WriteFile(file_, "[Settings]\n");
    EXPECT_FALSE(key->SetString("Profile", "/a.qlmd"));
    fs::remove(file_);
    EXPECT_FALSE(key->SetString("Profile", "/a.qlmd"));
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RegistryTest, RewriteKeepsPermissionsAndSymbolicLinks)
{
    const std::string target = dir_ / "real.conf";
    WriteFile(target, "[Service]\n");
    ::chmod(target.c_str(), 0600);
    fs::create_symlink(target, file_);
    auto key = RegistryKey::OpenFile(file_, "Service");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetString("Profile", "/a.qlmd"));
    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Get(*key, "Profile"), "/a.qlmd");
    // No temporary files are left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> {"Quellarimond.conf", "Quellarimond.conf.lock", "real.conf"}));
}

TEST_F(RegistryTest, ConcurrentWritersNeverLoseEachOthersValues)
{
    ASSERT_TRUE(RegistryKey::CreateFile(file_, "Settings"));
    constexpr int Writers = 4;
    constexpr int ValuesEach = 40;
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w) {
        writers.emplace_back([this, w] {
            auto key = RegistryKey::OpenFile(file_, "Settings");
            for (int i = 0; i < ValuesEach && key; ++i)
                key->SetString("W" + std::to_string(w) + "-" + std::to_string(i), std::to_string(i));
        });
    }
    for (auto& writer : writers)
        writer.join();
    auto key = RegistryKey::OpenFile(file_, "Settings");
    ASSERT_TRUE(key);
    for (int w = 0; w < Writers; ++w) {
        for (int i = 0; i < ValuesEach; ++i)
            EXPECT_EQ(Get(*key, "W" + std::to_string(w) + "-" + std::to_string(i)), std::to_string(i));
    }
}

} // namespace
