#include "ui/display_probe.h"

#include "platform/timing.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace ui {
namespace {

// ---- X11: where the server listens (as libxcb looks for it)
constexpr int kX11TcpPortBase = 6000;
constexpr char kX11SocketBase[] = "/tmp/.X11-unix/X";
constexpr char kLocalProtocol[] = "unix";
constexpr const char* kTcpProtocols[] = {"tcp", "inet", "inet6"};

// ---- X11: the connection setup request, in the byte order it announces
constexpr std::uint8_t kX11LittleEndian = 'l';
constexpr std::uint8_t kX11BigEndian = 'B';
constexpr std::uint16_t kX11MajorVersion = 11;
constexpr std::uint16_t kX11MinorVersion = 0;
constexpr std::size_t kX11SetupHeaderSize = 12;

// ---- X11: the user's authority file, whose cookie the server (or an SSH forwarding, which
// otherwise reports a rejected connection on the user's terminal) expects
constexpr char kAuthorityVariable[] = "XAUTHORITY";
constexpr char kHomeVariable[] = "HOME";
constexpr char kDefaultAuthorityFile[] = "/.Xauthority";
constexpr char kCookieProtocol[] = "MIT-MAGIC-COOKIE-1";
constexpr std::uint16_t kFamilyInternet = 0;
constexpr std::uint16_t kFamilyInternet6 = 6;
constexpr std::uint16_t kFamilyLocal = 256;
constexpr std::uint16_t kFamilyWild = 65535;
constexpr std::size_t kHostNameCapacity = 256;

// ---- Wayland: wl_display.sync(callback), which every compositor answers
constexpr char kRuntimeFolderVariable[] = "XDG_RUNTIME_DIR";
constexpr std::uint32_t kWaylandDisplayObject = 1;
constexpr std::uint32_t kWaylandSyncOpcode = 0;
constexpr std::uint32_t kWaylandSyncSize = 12;
constexpr std::uint32_t kWaylandCallbackObject = 2;

// A descriptor closed with its owner.
class Socket {
public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Milliseconds left until deadlineMs (program time), as a real wait for poll.
int PollWaitMs(std::uint64_t deadlineMs)
{
    const std::uint64_t now = platform::timing::NowMs();
    if (now >= deadlineMs)
        return 0;
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(
        platform::timing::RealDuration(static_cast<std::uint32_t>(deadlineMs - now)));
    return static_cast<int>(real.count());
}

// Waits for events on fd until the deadline; the events seen, 0 at the deadline.
short WaitFor(int fd, short events, std::uint64_t deadlineMs)
{
    while (true) {
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, PollWaitMs(deadlineMs));
        if (ready > 0)
            return pfd.revents;
        if (ready == 0 && platform::timing::NowMs() >= deadlineMs)
            return 0;
        if (ready < 0 && errno != EINTR)
            return POLLERR;
    }
}

// A connection to address, made without blocking past the deadline. An invalid socket and
// Silent when it is still under way at the deadline, NotReached when it failed.
Socket Connect(int family, const sockaddr* address, socklen_t length, std::uint64_t deadlineMs, DisplayAnswer* failure)
{
    *failure = DisplayAnswer::NotReached;
    Socket socket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.Valid())
        return Socket();
    if (::connect(socket.Fd(), address, length) == 0)
        return socket;
    if (errno != EINPROGRESS && errno != EINTR)
        return Socket();
    const short events = WaitFor(socket.Fd(), POLLOUT, deadlineMs);
    if (events == 0) {
        *failure = DisplayAnswer::Silent;
        return Socket();
    }
    int error = 0;
    socklen_t errorLength = sizeof error;
    if (::getsockopt(socket.Fd(), SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0 || error != 0)
        return Socket();
    return socket;
}

// Sends request and waits for the first byte of any reply; a socket that got one goes to
// answered.
DisplayAnswer AskAndWait(Socket socket, const std::string& request, std::uint64_t deadlineMs, Socket* answered)
{
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t count = ::send(socket.Fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A server that does not even read its requests is as silent as one that does not answer.
            if (WaitFor(socket.Fd(), POLLOUT, deadlineMs) == 0)
                return DisplayAnswer::Silent;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return DisplayAnswer::NotReached;
        }
    }
    if (WaitFor(socket.Fd(), POLLIN, deadlineMs) == 0)
        return DisplayAnswer::Silent;
    char first = 0;
    ssize_t count = 0;
    do {
        count = ::recv(socket.Fd(), &first, 1, 0);
    } while (count < 0 && errno == EINTR);
    if (count != 1)
        return DisplayAnswer::NotReached;
    *answered = std::move(socket);
    return DisplayAnswer::Answers;
}

bool HostIsLittleEndian()
{
    const std::uint16_t probe = 1;
    std::uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

template <class Number>
void AppendNative(std::string& bytes, Number value)
{
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    bytes.append(raw, sizeof value);
}

void AppendPadded(std::string& bytes, const std::string& text)
{
    bytes += text;
    bytes.append((4 - text.size() % 4) % 4, '\0');
}

// ---- X11 authority

struct AuthorityEntry {
    std::uint16_t family = 0;
    std::string address;
    std::string number;
    std::string name;
    std::string data;
};

bool ReadCounted(std::istream& in, std::string* text)
{
    unsigned char length[2];
    if (!in.read(reinterpret_cast<char*>(length), 2))
        return false;
    text->assign(static_cast<std::size_t>(length[0] << 8 | length[1]), '\0');
    return static_cast<bool>(in.read(text->data(), static_cast<std::streamsize>(text->size())));
}

std::string AuthorityFilePath()
{
    if (const char* file = std::getenv(kAuthorityVariable); file != nullptr && *file != '\0')
        return file;
    if (const char* home = std::getenv(kHomeVariable); home != nullptr && *home != '\0')
        return std::string(home) + kDefaultAuthorityFile;
    return {};
}

// The cookie for the display reached at the peer of fd, found as libXau finds it (a
// loopback or local peer is known by this host's name); empty when there is none.
std::string X11Cookie(int fd, int number)
{
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
        return {};
    std::uint16_t family = kFamilyLocal;
    std::string address;
    if (peer.ss_family == AF_INET6) {
        const in6_addr& ip = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&ip)) {
            in_addr v4{};
            std::memcpy(&v4, ip.s6_addr + 12, sizeof v4);
            if (v4.s_addr != htonl(INADDR_LOOPBACK)) {
                family = kFamilyInternet;
                address.assign(reinterpret_cast<const char*>(&v4), sizeof v4);
            }
        } else if (!IN6_IS_ADDR_LOOPBACK(&ip)) {
            family = kFamilyInternet6;
            address.assign(reinterpret_cast<const char*>(ip.s6_addr), sizeof ip.s6_addr);
        }
    } else if (peer.ss_family == AF_INET) {
        const in_addr& ip = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
        if (ip.s_addr != htonl(INADDR_LOOPBACK)) {
            family = kFamilyInternet;
            address.assign(reinterpret_cast<const char*>(&ip), sizeof ip);
        }
    } else if (peer.ss_family != AF_UNIX) {
        return {};
    }
    if (family == kFamilyLocal) {
        char host[kHostNameCapacity] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            return {};
        address = host;
    }
    const std::string display = std::to_string(number);
    std::ifstream file(AuthorityFilePath(), std::ios::binary);
    AuthorityEntry entry;
    while (true) {
        unsigned char familyBytes[2];
        if (!file.read(reinterpret_cast<char*>(familyBytes), 2))
            return {};
        entry.family = static_cast<std::uint16_t>(familyBytes[0] << 8 | familyBytes[1]);
        if (!ReadCounted(file, &entry.address) || !ReadCounted(file, &entry.number) ||
            !ReadCounted(file, &entry.name) || !ReadCounted(file, &entry.data))
            return {};
        const bool hostMatches = entry.family == kFamilyWild || (entry.family == family && entry.address == address);
        const bool displayMatches = entry.number.empty() || entry.number == display;
        if (hostMatches && displayMatches && entry.name == kCookieProtocol)
            return entry.data;
    }
}

// The X connection setup request (no screen data: the server's first reply byte is all we need).
std::string X11SetupRequest(const std::string& cookie)
{
    std::string request;
    request += static_cast<char>(HostIsLittleEndian() ? kX11LittleEndian : kX11BigEndian);
    request += '\0';
    AppendNative(request, kX11MajorVersion);
    AppendNative(request, kX11MinorVersion);
    const std::string protocol = cookie.empty() ? std::string() : std::string(kCookieProtocol);
    AppendNative(request, static_cast<std::uint16_t>(protocol.size()));
    AppendNative(request, static_cast<std::uint16_t>(cookie.size()));
    request.append(2, '\0');
    AppendPadded(request, protocol);
    AppendPadded(request, cookie);
    return request;
}

DisplayAnswer AskX11(Socket socket, int number, std::uint64_t deadlineMs, Socket* answered)
{
    const std::string request = X11SetupRequest(X11Cookie(socket.Fd(), number));
    return AskAndWait(std::move(socket), request, deadlineMs, answered);
}

// A unix socket address: path, or in the abstract namespace when abstract. False when the
// path does not fit.
bool UnixAddress(const std::string& path, bool abstract, sockaddr_un* address, socklen_t* length)
{
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset + 1 > sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path + offset, path.data(), path.size());
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    return true;
}

Socket ConnectUnix(const std::string& path, bool abstract, std::uint64_t deadlineMs, DisplayAnswer* failure)
{
    *failure = DisplayAnswer::NotReached;
    sockaddr_un address;
    socklen_t length = 0;
    if (!UnixAddress(path, abstract, &address, &length))
        return Socket();
    return Connect(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length, deadlineMs, failure);
}

DisplayAnswer ProbeX11(const std::string& display, std::uint64_t deadlineMs, Socket* answered)
{
    const std::optional<X11Address> address = ParseX11Display(display);
    if (!address)
        return DisplayAnswer::NotReached;
    if (address->local) {
        // Linux servers listen in the abstract namespace as well; libxcb tries it first.
        const std::string path = kX11SocketBase + std::to_string(address->number);
        for (const bool abstract : {true, false}) {
            DisplayAnswer failure = DisplayAnswer::NotReached;
            Socket socket = ConnectUnix(path, abstract, deadlineMs, &failure);
            if (socket.Valid())
                return AskX11(std::move(socket), address->number, deadlineMs, answered);
            if (failure == DisplayAnswer::Silent)
                return failure;
        }
        return DisplayAnswer::NotReached;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(kX11TcpPortBase + address->number);
    if (::getaddrinfo(address->host.c_str(), port.c_str(), &hints, &found) != 0)
        return DisplayAnswer::NotReached;
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    // As libxcb: the first address that takes the connection is the display.
    for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        DisplayAnswer failure = DisplayAnswer::NotReached;
        Socket socket = Connect(candidate->ai_family, candidate->ai_addr, candidate->ai_addrlen, deadlineMs, &failure);
        if (socket.Valid())
            return AskX11(std::move(socket), address->number, deadlineMs, answered);
        if (failure == DisplayAnswer::Silent)
            return failure;
    }
    return DisplayAnswer::NotReached;
}

DisplayAnswer ProbeWayland(const std::string& name, std::uint64_t deadlineMs, Socket* answered)
{
    const std::optional<std::string> path = WaylandSocketPath(name);
    if (!path)
        return DisplayAnswer::NotReached;
    DisplayAnswer failure = DisplayAnswer::NotReached;
    Socket socket = ConnectUnix(*path, false, deadlineMs, &failure);
    if (!socket.Valid())
        return failure;
    std::string sync;
    AppendNative(sync, kWaylandDisplayObject);
    AppendNative(sync, kWaylandSyncSize << 16 | kWaylandSyncOpcode);
    AppendNative(sync, kWaylandCallbackObject);
    return AskAndWait(std::move(socket), sync, deadlineMs, answered);
}

DisplayAnswer Probe(const DisplayToProbe& display, std::uint64_t deadlineMs, Socket* answered)
{
    return display.kind == DisplayKind::X11 ? ProbeX11(display.name, deadlineMs, answered)
                                            : ProbeWayland(display.name, deadlineMs, answered);
}

// One round of probes, shared with probe threads that may outlive the caller's wait (a
// host name lookup is not bounded by the deadline).
struct Round {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::optional<DisplayAnswer>> answers;
    std::vector<Socket> answered;
};

} // namespace

std::optional<X11Address> ParseX11Display(const std::string& display)
{
    std::string rest = display;
    std::string protocol;
    if (const std::size_t slash = rest.rfind('/'); slash != std::string::npos) {
        protocol = rest.substr(0, slash);
        rest = rest.substr(slash + 1);
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos)
        return std::nullopt;
    X11Address address;
    address.host = rest.substr(0, colon);
    const std::string numbers = rest.substr(colon + 1);
    const std::size_t dot = numbers.find('.');
    const std::string number = numbers.substr(0, dot);
    const std::string screen = dot == std::string::npos ? std::string("0") : numbers.substr(dot + 1);
    const auto allDigits = [](const std::string& text) {
        return !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!allDigits(number) || !allDigits(screen))
        return std::nullopt;
    address.number = std::stoi(number);
    address.local = protocol == kLocalProtocol || address.host.empty() || address.host == kLocalProtocol;
    if (address.local) {
        address.host.clear();
        return address;
    }
    if (!protocol.empty() && std::find(std::begin(kTcpProtocols), std::end(kTcpProtocols), protocol) ==
                                 std::end(kTcpProtocols))
        return std::nullopt;
    // An IPv6 address may stand in brackets.
    if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']')
        address.host = address.host.substr(1, address.host.size() - 2);
    return address;
}

std::optional<std::string> WaylandSocketPath(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return name;
    const char* folder = std::getenv(kRuntimeFolderVariable);
    if (folder == nullptr || *folder == '\0')
        return std::nullopt;
    return std::string(folder) + '/' + name;
}

DisplayProbes ProbeDisplays(const std::vector<DisplayToProbe>& displays, std::uint32_t waitMs)
{
    const std::uint64_t deadlineMs = platform::timing::NowMs() + waitMs;
    const auto round = std::make_shared<Round>();
    round->answers.resize(displays.size());
    for (std::size_t index = 0; index < displays.size(); ++index) {
        std::thread([round, index, display = displays[index], deadlineMs] {
            Socket answered;
            const DisplayAnswer answer = Probe(display, deadlineMs, &answered);
            const std::lock_guard<std::mutex> lock(round->mutex);
            round->answers[index] = answer;
            round->answered.push_back(std::move(answered));
            round->done.notify_all();
        }).detach();
    }
    std::unique_lock<std::mutex> lock(round->mutex);
    const auto allAnswered = [&] {
        return std::all_of(round->answers.begin(), round->answers.end(),
                           [](const std::optional<DisplayAnswer>& answer) { return answer.has_value(); });
    };
    while (!allAnswered() && platform::timing::NowMs() < deadlineMs) {
        round->done.wait_for(lock, platform::timing::RealDuration(
                                       static_cast<std::uint32_t>(deadlineMs - platform::timing::NowMs())));
    }
    DisplayProbes probes;
    for (const std::optional<DisplayAnswer>& answer : round->answers)
        probes.answers.push_back(answer.value_or(DisplayAnswer::Silent));
    probes.openConnections = round;
    return probes;
}

} // namespace ui
