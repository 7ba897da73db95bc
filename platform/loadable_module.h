#pragma once
// Shared modules of ours (HTTP fetching, the metrics listener) opened with dlopen only when a
// program needs them, so that a program which never does pays nothing for their libraries.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quel {

// The folders searched for a module, in order: $QUELLARIMOND_MODULE_DIR alone when it is set,
// else those of ModuleFoldersOf the running program's folder. Each ends with "/".
std::vector<std::string> ModuleFolders();
// For a program in programFolder: that folder; the build tree's module folder when the program
// lies in the build tree that built this code; the module folder of an install relative to the
// program (../lib/<multiarch>/quellarimond/ and ../lib/quellarimond/ from bin/), so a relocated
// install works; last the folder the install prefix named at configure time.
std::vector<std::string> ModuleFoldersOf(const std::string& programFolder);

// The file name of module `name` ("quel_remote" -> "quel_remote.so").
std::string ModuleFileName(std::string_view name);

// One opened module; closed when destroyed. Move-only.
class LoadableModule {
public:
    LoadableModule() = default;
    ~LoadableModule();
    LoadableModule(LoadableModule&& other) noexcept;
    LoadableModule& operator=(LoadableModule&& other) noexcept;
    LoadableModule(const LoadableModule&) = delete;
    LoadableModule& operator=(const LoadableModule&) = delete;

    // Opens module `name` from the first of ModuleFolders() that has its file. On failure the
    // result is closed and `error` says what was tried and why it failed.
    static LoadableModule Open(std::string_view name, std::string& error);
    // Opens the module file at `path`.
    static LoadableModule OpenFile(const std::string& path, std::string& error);

    bool IsOpen() const { return handle_ != nullptr; }
    const std::string& Path() const { return path_; }

    // The address of the exported C symbol `name`, or nullptr with `error` set.
    void* Symbol(const char* name, std::string& error) const;

    // The exported C function `name` as a pointer of type Function*, or nullptr with `error` set.
    template <class Function>
    Function* Find(const char* name, std::string& error) const
    {
        return reinterpret_cast<Function*>(Symbol(name, error));
    }

private:
    LoadableModule(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void Close();

    void* handle_ = nullptr;
    std::string path_;
};

} // namespace quel
