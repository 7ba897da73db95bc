#include "platform/loadable_module.h"

#include "support/process_maps.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <string>

namespace quel {
namespace {

// Points the module search at one folder for the life of the object.
class ModuleDirOverride {
public:
    explicit ModuleDirOverride(const std::string& folder)
    {
        const char* old = std::getenv("QUELLARIMOND_MODULE_DIR");
        hadOld_ = old != nullptr;
        if (hadOld_)
            old_ = old;
        setenv("QUELLARIMOND_MODULE_DIR", folder.c_str(), 1);
    }
    ~ModuleDirOverride()
    {
        if (hadOld_)
            setenv("QUELLARIMOND_MODULE_DIR", old_.c_str(), 1);
        else
            unsetenv("QUELLARIMOND_MODULE_DIR");
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(LoadableModule, SearchesTheOverrideAloneElseProgramBuildTreeAndInstallFolders)
{
    {
        ModuleDirOverride dir("/some/where");
        EXPECT_EQ(ModuleFolders(), std::vector<std::string>{"/some/where/"});
    }
    // An install anywhere finds the modules relative to its bin/ folder, before the configured one.
    const std::vector<std::string> installed = ModuleFoldersOf("/opt/q/bin/");
    ASSERT_GE(installed.size(), 3u);
    EXPECT_EQ(installed.front(), "/opt/q/bin/");
    EXPECT_NE(std::find(installed.begin(), installed.end(), "/opt/q/lib/quellarimond/"), installed.end());
    EXPECT_TRUE(installed.back().ends_with("/quellarimond/")) << installed.back();
    const std::string buildModules = std::string(QUEL_BINARY_DIR) + "/modules/";
    EXPECT_EQ(std::find(installed.begin(), installed.end(), buildModules), installed.end())
        << "the build tree is only for programs that run from it";

    // A program of the build tree (this test's, say) finds the modules built beside it, unasked.
    const std::vector<std::string> built = ModuleFoldersOf(std::string(QUEL_BINARY_DIR) + "/desktop/");
    EXPECT_NE(std::find(built.begin(), built.end(), buildModules), built.end());
    unsetenv("QUELLARIMOND_MODULE_DIR");
    std::string error;
    EXPECT_TRUE(LoadableModule::Open("quel_remote", error).IsOpen()) << error;
    EXPECT_EQ(ModuleFileName("quel_remote"), "quel_remote.so");
}

TEST(LoadableModule, OpensFindsFunctionsAndMapsOnlyWhenOpened)
{
    ModuleDirOverride dir(QUEL_SAMPLE_MODULE_DIR);
    EXPECT_FALSE(test::IsFileMapped("quel_sample_module.so"));
    std::string error;
    LoadableModule module = LoadableModule::Open("quel_sample_module", error);
    ASSERT_TRUE(module.IsOpen()) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(module.Path(), std::string(QUEL_SAMPLE_MODULE_DIR) + "/quel_sample_module.so");
    EXPECT_TRUE(test::IsFileMapped("quel_sample_module.so"));

    auto* answer = module.Find<int()>("quel_sample_module_answer", error);
    ASSERT_NE(answer, nullptr) << error;
    EXPECT_EQ(answer(), 42);

    EXPECT_EQ(module.Find<int()>("no_such_function", error), nullptr);
    EXPECT_NE(error.find("no_such_function"), std::string::npos) << error;

    // Moving hands the one handle over; the moved-from module no longer answers.
    LoadableModule moved = std::move(module);
    EXPECT_FALSE(module.IsOpen());
    EXPECT_EQ(module.Symbol("quel_sample_module_answer", error), nullptr);
    EXPECT_NE(moved.Symbol("quel_sample_module_answer", error), nullptr);
}

TEST(LoadableModule, MissingOrBrokenModuleIsAClearErrorNotACrash)
{
    test::TempFolder folder;
    ModuleDirOverride dir(folder.Path().string());
    std::string error;
    LoadableModule missing = LoadableModule::Open("quel_absent", error);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(error.find("quel_absent.so"), std::string::npos) << error;
    EXPECT_NE(error.find(folder.Path().string()), std::string::npos) << error;

    folder.Write("quel_broken.so", "this is not an ELF file");
    LoadableModule broken = LoadableModule::Open("quel_broken", error);
    EXPECT_FALSE(broken.IsOpen());
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
    EXPECT_NE(error.find("quel_broken.so"), std::string::npos) << error;
}

} // namespace
} // namespace quel
