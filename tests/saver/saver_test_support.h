#pragma once
// Test support for the saver: a private home whose user and system settings files the test
// writes, with the environment pointing at them while the fixture lives.

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quel::saver::test {

class SaverHome : public ::testing::Test {
protected:
    SaverHome();
    ~SaverHome() override;

    std::filesystem::path UserFile() const { return folder_ / "config/Tolvane/Quellarimond.conf"; }
    std::filesystem::path SystemFile() const { return folder_ / "etc/Quellarimond.conf"; }
    void WriteUser(const std::string& content) const;
    void WriteSystem(const std::string& content) const;
    // The system file becomes one that cannot be written (its folder is a file).
    void MakeSystemUnwritable();
    const quel::test::TempFolder& Folder() const { return folder_; }

private:
    quel::test::TempFolder folder_;
    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace quel::saver::test
