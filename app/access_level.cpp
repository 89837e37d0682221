#include "app/access_level.h"

#include "platform/timing.h"

#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
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

std::optional<std::string> CanonicalHostName(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* info = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &info) != 0)
        return std::nullopt;
    std::optional<std::string> name;
    if (info != nullptr && info->ai_canonname != nullptr)
        name = info->ai_canonname;
    freeaddrinfo(info);
    return name;
}

std::string HostNameWithin(const std::string& host, const HostNameResolver& resolver, std::uint32_t limitMs)
{
    // Shared with the lookup's thread, which may outlive this call.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        std::optional<std::string> name;
    };
    const auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, resolver, host] {
        std::optional<std::string> name = resolver(host);
        {
            std::lock_guard lock(lookup->mutex);
            lookup->name = std::move(name);
            lookup->done = true;
        }
        lookup->answered.notify_all();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    if (!lookup->answered.wait_for(lock, platform::timing::RealDuration(limitMs), [&] { return lookup->done; }))
        return host;
    return lookup->name.value_or(host);
}

std::optional<std::string> FullyQualifiedHostName()
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return std::nullopt;
    return HostNameWithin(host, CanonicalHostName, kHostNameLookupLimitMs);
}

int CurrentAccessLevel()
{
    return AccessLevelFromNames(CurrentUserName(), FullyQualifiedHostName());
}
