#pragma once
// The world a command-line run of jetvane sees: a private profile folder (XDG_CONFIG_HOME)
// holding Jetvane.conf with the port map and the remembered port, a private runtime folder,
// no display (so that a SILENT run picks the offscreen platform by itself), and
// configuration files made the way the settings dialogs save them: one stored frame.

#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "tests/cli/program_process.h"
#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace cli_test {

// Bounds that keep a broken program from hanging the suite; none is a speed requirement.
// A run that ends before any window (or at its first initialisation) has this long:
inline constexpr int kStartUpLimitMs = 10000;
// The SENDCONFIG road: one port, found in the third pass, then two transactions.
inline constexpr int kSendConfigLimitMs = 20000;

// The port the profile remembers; the search then tries that port alone.
inline constexpr char kRememberedPort[] = "COM5";
// What decides where windows go; none of them may reach the program under test.
inline const std::vector<std::string> kDisplayVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                                           "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"};

using test_support::TempFolder;

inline bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// A settings record as a saved file carries it: fields ended by DEL, the last field the
// group character 'q' alone. Its bytes include values the frame must escape (below 0x20
// and above 0x7F, the frame's own start and end bytes among them) and a NUL.
inline std::string SampleSettingsRecord()
{
    using namespace std::string_literals;
    return "A1\x7F"
           "B\x09\x01\x08\x7F"
           "C\x10\x00\xFF\x7F"
           "D\xC3\xA9 text with spaces 0123456789\x7F"
           "q\x7F"s;
}

// The bytes of a configuration file: one frame, flags 0, the stored-message direction.
inline std::string ConfigurationFileBytes(const std::string& record, std::uint8_t command = CMD_SET_SETTINGS)
{
    std::string frame;
    CQVMessageParser::BuildMessage(frame, 0, FRAME_DIRECTION_FILE, command, record);
    return frame;
}

// One run's profile and runtime folders, and the environment that points the program at them.
class CliWorld {
public:
    CliWorld()
    {
        configHome_ = folder_.Path() / "config";
        runtimeDir_ = folder_.Path() / "runtime";
        std::error_code ignored;
        std::filesystem::create_directories(configHome_ / "Corvandel", ignored);
        std::filesystem::create_directories(runtimeDir_, ignored);
        // Qt wants a runtime folder only its owner may enter.
        std::filesystem::permissions(runtimeDir_, std::filesystem::perms::owner_all, ignored);
    }

    bool Valid() const { return folder_.Valid() && std::filesystem::is_directory(configHome_ / "Corvandel"); }

    // The profile: the remembered port mapped to device (a pty's slave path, or a path that
    // does not exist), and remembered in [Settings] so that only that port is searched.
    bool WriteProfile(const std::string& device, const std::string& port = kRememberedPort) const
    {
        return WriteFileBytes(ProfilePath(),
                              "[Ports]\n" + port + "=" + device + "\n\n[Settings]\nPortConnect=" + port + "\n");
    }

    // A profile of the test's own making (INI text as the program keeps it).
    bool WriteProfileText(const std::string& text) const { return WriteFileBytes(ProfilePath(), text); }

    std::filesystem::path ProfilePath() const { return configHome_ / "Corvandel" / "Jetvane.conf"; }

    // The profile's value of name in section, as written (no unquoting); empty when none.
    std::string ProfileValue(const std::string& section, const std::string& name) const
    {
        std::ifstream file(ProfilePath());
        bool inSection = false;
        for (std::string line; std::getline(file, line);) {
            if (line.starts_with('['))
                inSection = line == "[" + section + "]";
            else if (inSection && line.starts_with(name + "="))
                return line.substr(name.size() + 1);
        }
        return {};
    }

    // A file in this run's own folder.
    std::filesystem::path FilePath(const std::string& name) const { return folder_.Path() / name; }

    bool WriteFile(const std::string& name, const std::string& bytes) const
    {
        return WriteFileBytes(FilePath(name), bytes);
    }

    // This process's environment without a display, with the private folders.
    Environment ProgramEnvironment() const
    {
        Environment environment = Environment::Inherited(kDisplayVariables);
        environment.Set("XDG_CONFIG_HOME", configHome_.string());
        environment.Set("XDG_RUNTIME_DIR", runtimeDir_.string());
        return environment;
    }

    // The same without XDG_RUNTIME_DIR, which Qt remarks on when it is missing; a silent
    // run's standard error must still hold the program's own lines only.
    Environment ProgramEnvironmentWithoutRuntimeFolder() const
    {
        Environment environment = ProgramEnvironment();
        environment.Unset("XDG_RUNTIME_DIR");
        return environment;
    }

private:
    TempFolder folder_;
    std::filesystem::path configHome_;
    std::filesystem::path runtimeDir_;
};

} // namespace cli_test
