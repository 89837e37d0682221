#include "app/access_level.h"

#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

constexpr char kUserEnvironmentVariable[] = "USER";

std::string ToLowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

int ApplyAccessName(int level, std::string_view name)
{
    const std::string lower = ToLowerAscii(name);
    auto contains = [&lower](const char* part) { return lower.find(part) != std::string::npos; };
    if (!contains(kAccessNameRequired))
        return level;
    if (contains(kAccessNameGrantFirst) || contains(kAccessNameGrantSecond))
        return ACCESS_LEVEL_ENGINEERING;
    if (contains(kAccessNameWithdraw))
        return ACCESS_LEVEL_USER;
    return level;
}

int AccessLevelFromNames(const std::optional<std::string>& userName, const std::optional<std::string>& hostName)
{
    int level = ACCESS_LEVEL_USER;
    if (userName)
        level = ApplyAccessName(level, *userName);
    if (hostName)
        level = ApplyAccessName(level, *hostName);
    return level;
}

std::optional<std::string> CurrentUserName()
{
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    constexpr long kFallbackBufferSize = 16384;
    if (bufferSize <= 0)
        bufferSize = kFallbackBufferSize;
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr)
        return std::string(found->pw_name);
    if (const char* user = std::getenv(kUserEnvironmentVariable); user != nullptr)
        return std::string(user);
    return std::nullopt;
}

std::optional<std::string> FullyQualifiedHostName()
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* info = nullptr;
    std::string name(host);
    if (getaddrinfo(host, nullptr, &hints, &info) == 0) {
        if (info != nullptr && info->ai_canonname != nullptr)
            name = info->ai_canonname;
        freeaddrinfo(info);
    }
    return name;
}

int CurrentAccessLevel()
{
    return AccessLevelFromNames(CurrentUserName(), FullyQualifiedHostName());
}
