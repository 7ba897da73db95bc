#include "saver/saver_command_line.h"

#include "platform/text_scan.h"

#include <limits>

namespace quel::saver {
namespace {

SaverCommand Failure(std::string error)
{
    SaverCommand command;
    command.mode = SaverMode::Error;
    command.error = std::move(error);
    return command;
}

struct Flags {
    bool fullScreen = false;
    bool configure = false;
    bool root = false;
    std::optional<std::uint32_t> preview;
    std::optional<std::uint32_t> windowId;
    bool help = false;
    bool version = false;
};

} // namespace

std::optional<std::uint32_t> ParseWindowId(const std::string& text)
{
    std::uint64_t value = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const bool ok = hex ? text::ParseHex(std::string_view(text).substr(2), value) : text::ParseU64(text, value);
    if (!ok || value == 0 || value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

SaverCommand ParseSaverCommandLine(const std::vector<std::string>& arguments, const std::string& xscreensaverWindow)
{
    Flags flags;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-s") {
            flags.fullScreen = true;
        } else if (argument == "-c") {
            flags.configure = true;
        } else if (argument == "--root" || argument == "-root") {
            flags.root = true;
        } else if (argument == "-h" || argument == "--help") {
            flags.help = true;
        } else if (argument == "--version") {
            flags.version = true;
        } else if (argument == "-p" || argument == "--window-id" || argument == "-window-id") {
            if (i + 1 == arguments.size())
                return Failure(argument + " needs a window ID");
            const std::optional<std::uint32_t> id = ParseWindowId(arguments[++i]);
            if (!id)
                return Failure("\"" + arguments[i] + "\" is not a window ID (decimal or 0x...)");
            (argument == "-p" ? flags.preview : flags.windowId) = id;
        } else {
            return Failure("unknown argument \"" + argument + "\"");
        }
    }

    SaverCommand command;
    if (flags.help) {
        command.mode = SaverMode::Help;
    } else if (flags.version) {
        command.mode = SaverMode::Version;
    } else if (flags.windowId || flags.preview) {
        command.mode = SaverMode::ForeignWindow;
        command.window = flags.windowId ? flags.windowId : flags.preview;
    } else if (flags.root || (arguments.empty() && !xscreensaverWindow.empty())) {
        command.mode = SaverMode::ForeignWindow;
        if (!xscreensaverWindow.empty()) {
            command.window = ParseWindowId(xscreensaverWindow);
            if (!command.window)
                return Failure("XSCREENSAVER_WINDOW \"" + xscreensaverWindow + "\" is not a window ID");
        }
    } else if (flags.fullScreen) {
        command.mode = SaverMode::FullScreen;
    }
    return command;
}

} // namespace quel::saver
