#include "platform/loadable_module.h"

#include "platform/program_folders.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

#ifndef QUEL_MODULE_INSTALL_DIR
#define QUEL_MODULE_INSTALL_DIR "/usr/local/lib/quellarimond"
#endif
#ifndef QUEL_BUILD_DIR
#define QUEL_BUILD_DIR "/nonexistent"
#define QUEL_MODULE_BUILD_DIR "/nonexistent"
#endif
#ifndef QUEL_LIBRARY_ARCH
#define QUEL_LIBRARY_ARCH ""
#endif

namespace quel {
namespace {

std::string DlErrorText()
{
    const char* text = dlerror();
    return text ? std::string(text) : std::string("unknown error");
}

} // namespace

std::vector<std::string> ModuleFolders()
{
    const char* override = std::getenv("QUELLARIMOND_MODULE_DIR");
    if (override && override[0] != '\0')
        return {WithSlash(override)};
    return ModuleFoldersOf(ProgramFolder());
}

std::vector<std::string> ModuleFoldersOf(const std::string& programFolder)
{
    std::vector<std::string> folders;
    const auto add = [&folders](const std::filesystem::path& folder) {
        std::string text = WithSlash(folder.lexically_normal().string());
        if (std::find(folders.begin(), folders.end(), text) == folders.end())
            folders.push_back(std::move(text));
    };
    if (!programFolder.empty()) {
        const std::filesystem::path program(programFolder);
        add(program);
        if (programFolder.starts_with(WithSlash(QUEL_BUILD_DIR)))
            add(QUEL_MODULE_BUILD_DIR);
        if (std::string_view(QUEL_LIBRARY_ARCH).size() > 0)
            add(program / ".." / "lib" / QUEL_LIBRARY_ARCH / "quellarimond");
        add(program / ".." / "lib" / "quellarimond");
    }
    add(QUEL_MODULE_INSTALL_DIR);
    return folders;
}

std::string ModuleFileName(std::string_view name)
{
    return std::string(name) + ".so";
}

LoadableModule::~LoadableModule()
{
    Close();
}

LoadableModule::LoadableModule(LoadableModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_))
{
}

LoadableModule& LoadableModule::operator=(LoadableModule&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

void LoadableModule::Close()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

LoadableModule LoadableModule::OpenFile(const std::string& path, std::string& error)
{
    // RTLD_LOCAL keeps the module's libraries (libcurl, OpenSSL) out of the program's namespace.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = "cannot load " + path + ": " + DlErrorText();
        return LoadableModule();
    }
    error.clear();
    return LoadableModule(handle, path);
}

LoadableModule LoadableModule::Open(std::string_view name, std::string& error)
{
    const std::string file = ModuleFileName(name);
    std::string tried;
    for (const std::string& folder : ModuleFolders()) {
        const std::string path = folder + file;
        if (access(path.c_str(), F_OK) != 0) {
            tried += (tried.empty() ? "" : ", ") + folder;
            continue;
        }
        // A file that is there but does not load is the answer: a later folder would hide it.
        return OpenFile(path, error);
    }
    error = "module " + file + " not found in " + tried;
    return LoadableModule();
}

void* LoadableModule::Symbol(const char* name, std::string& error) const
{
    if (!handle_) {
        error = "module not loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        error = "module " + path_ + " has no " + name;
        return nullptr;
    }
    error.clear();
    return address;
}

} // namespace quel
