#pragma once
// The per-user profile: named string values per section, as GetProfileString and
// WriteProfileString keep them under the program's registry key. Stored with QSettings
// (native format, user scope, organisation "Corvandel", application "Jetvane"): on Linux the
// INI file $XDG_CONFIG_HOME/Corvandel/Jetvane.conf (default ~/.config/Corvandel/Jetvane.conf).
//
// Threads: every call may come from any thread; each opens its own QSettings, and QSettings
// keeps the file consistent between them. Calls read or write the file and so may block on
// disk I/O; none waits for the user-interface thread.
//
// Section and key names are case-sensitive here (the registry's are not): use each name
// always in one spelling.
//
// QSettings fixes the file's location at its first use: a test that relocates the profile
// sets XDG_CONFIG_HOME before any profile call (or calls QSettings::setPath).

#include "platform/port_map.h"
#include "ui/program_name.h"

#include <QString>

#include <optional>
#include <string>

namespace ui {

inline constexpr char kProfileOrganisation[] = "Corvandel";
// The section of the program's own values.
inline constexpr char kProfileSection[] = "Settings";
// The section that holds the port map: key "COM3", value a device path or "virtual:NAME".
inline constexpr char kPortsSection[] = "Ports";

// The value, or defaultValue when the section has no such key. A value written into the file
// by hand reads as QSettings reads it (escapes, quotes, a comment after it), except that
// unquoted commas, which QSettings would read as a list, stay in it with the blanks around
// them as written.
QString GetProfileString(const QString& section, const QString& key, const QString& defaultValue = {});
// True when the value was stored.
bool WriteProfileString(const QString& section, const QString& key, const QString& value);

// The port map read from the profile's [Ports] section; empty values count as no entry.
class ProfilePortMapSource final : public platform::PortMapSource {
public:
    std::optional<std::string> Lookup(const std::string& key) const override;
};

// Makes the profile's [Ports] section the process's port map (platform::SetPortMapSource).
// The application calls it at start-up.
void InstallProfilePortMap();

} // namespace ui
