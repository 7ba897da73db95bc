#pragma once
// The static quelmondsrvc cannot load modules (a module would bring a second C library into a
// program that has one built in). When it needs one, it becomes quelmondsrvc-modules, the same
// program linked dynamically and installed beside it: same process, same arguments.

#include <string>
#include <vector>

namespace quel {

// Replaces this process with the module host (execv). Returns only when that fails, with the
// reason. Call it before any thread is started.
void RunModuleHost(const std::vector<std::string>& arguments, std::string& reason);

// Where the module host is: beside this program.
std::string ModuleHostPath();

} // namespace quel
