#pragma once
// The engineering access level shows more menu rows and settings rows. It is granted by
// the user's login name or the machine's fully qualified host name: a name that contains
// kAccessNameRequired together with one of the granting names grants it; with the
// withdrawing name instead it takes it back. The user name is looked at first, the host
// name second, so the host can both grant and withdraw.

#include <cstdint>
#include <functional>
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

// How long the window's start waits for the name servers before it takes the plain host
// name: a slow or unreachable server must not keep the window (or a silent run) waiting.
inline constexpr std::uint32_t kHostNameLookupLimitMs = 500;

// Asks the name servers for the canonical name of a host; may block on them.
using HostNameResolver = std::function<std::optional<std::string>(const std::string& host)>;
std::optional<std::string> CanonicalHostName(const std::string& host);

// The canonical name that resolver gives host, or host itself when it knows none or has
// not answered within limitMs; an unanswered lookup then ends on a thread of its own.
std::string HostNameWithin(const std::string& host, const HostNameResolver& resolver, std::uint32_t limitMs);

// The canonical (fully qualified) name of this host; the plain host name when the
// resolver knows no canonical one (as a machine without a DNS suffix names itself) or
// does not answer within kHostNameLookupLimitMs.
std::optional<std::string> FullyQualifiedHostName();

// The level of the user running this process on this machine.
int CurrentAccessLevel();
