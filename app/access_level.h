#pragma once
// The engineering access level shows more menu rows and settings rows. It is granted by
// the user's login name or the machine's fully qualified host name: a name that contains
// kAccessNameRequired together with one of the granting names grants it; with the
// withdrawing name instead it takes it back. The user name is looked at first, the host
// name second, so the host can both grant and withdraw.

#include <optional>
#include <string>
#include <string_view>

inline constexpr int ACCESS_LEVEL_USER = 0;
inline constexpr int ACCESS_LEVEL_ENGINEERING = 1;

inline constexpr char kAccessNameRequired[] = "morvetan";
inline constexpr char kAccessNameGrantFirst[] = "tukhold";
inline constexpr char kAccessNameGrantSecond[] = "quessary";
inline constexpr char kAccessNameWithdraw[] = "fenwisk";

// The level after looking at one name (compared in lower case).
int ApplyAccessName(int level, std::string_view name);

// The level from the two names; a name that could not be read is skipped.
int AccessLevelFromNames(const std::optional<std::string>& userName,
                         const std::optional<std::string>& hostName);

// The login name of the effective user, or $USER when the password database has none.
std::optional<std::string> CurrentUserName();
// The canonical (fully qualified) name of this host; the plain host name when the
// resolver knows no canonical one, as a machine without a DNS suffix names itself.
std::optional<std::string> FullyQualifiedHostName();

// The level of the user running this process on this machine.
int CurrentAccessLevel();
