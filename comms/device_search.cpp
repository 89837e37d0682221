#include "comms/device_search.h"

#include "comms/message_parser.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"
#include "platform/timing.h"

#include <cerrno>
#include <cstdio>

namespace timing = platform::timing;

namespace {

constexpr int kThreadStartPolls = 50;
constexpr std::uint32_t kThreadStartPollMs = 10;
constexpr int kPassCount = 3;
constexpr char kPortNameFormat[] = "COM%d";
constexpr char kStatusFormat[] = "Searching port:\n%s,%d,%d,%c,%.0f";

// Pass 1 asks for CTS and DSR, pass 2 for DSR, pass 3 for nothing.
bool ModemLinesPass(CComms& transport, int pass)
{
    if (pass == 1)
        return transport.IsCTSOn() && transport.IsDSROn();
    if (pass == 2)
        return transport.IsDSROn();
    return true;
}

} // namespace

CQVAirDeviceSearch::CQVAirDeviceSearch() = default;

CQVAirDeviceSearch::~CQVAirDeviceSearch()
{
    stop_.store(true);
    if (state_.load() != SEARCH_DESTROYED)
        Stop();
    state_.store(SEARCH_DESTROYED);
}

bool CQVAirDeviceSearch::Start(platform::WindowHandle notify, std::uint8_t firstPort, std::uint8_t lastPort)
{
    if (state_.load() != SEARCH_IDLE) {
        Stop();
        if (state_.load() != SEARCH_IDLE)
            return false;
    }
    if (!transport_)
        transport_ = std::make_unique<CComms>();

    notifyWindow_.store(notify);
    firstPort_ = firstPort;
    lastPort_ = lastPort;
    state_.store(SEARCH_STARTING);
    transport_->SerialChannel().Close();

    if (firstPort_ == 0)
        firstPort_ = 1;
    if (lastPort_ == 0)
        lastPort_ = kHighestPort;
    if (lastPort_ < firstPort_)
        lastPort_ = firstPort_;

    stop_.store(false);
    if (searchThread_.joinable())
        searchThread_.join();
    firstMissing_.reset();
    firstRefused_.reset();
    searchThread_ = std::thread(&CQVAirDeviceSearch::SearchThreadMain, this);
    for (int poll = 0; poll < kThreadStartPolls && !running_.load(); ++poll)
        timing::SleepMs(kThreadStartPollMs);
    return running_.load();
}

bool CQVAirDeviceSearch::Stop()
{
    stop_.store(true);
    // The thread looks at the stop flag before every try and in every wait, so it ends
    // within a poll; nothing is posted for a search ended this way.
    if (searchThread_.joinable())
        searchThread_.join();
    running_.store(false);
    if (transport_) {
        transport_->SerialChannel().Close();
        transport_.reset();
    }
    notifyWindow_.store(platform::kNoWindow);
    state_.store(SEARCH_IDLE);
    return true;
}

void CQVAirDeviceSearch::SearchThreadMain()
{
    const platform::WindowHandle notify = notifyWindow_.load();
    if (!transport_ || lastPort_ < firstPort_ || firstPort_ == 0) {
        platform::PostWindowMessage(notify, WM_DEVICE_NOT_FOUND, 0, 0);
        return;
    }
    running_.store(true);
    state_.store(SEARCH_SEARCHING);

    int port = 0;
    int row = 0;
    const bool found = Search(&port, &row);
    running_.store(false);

    if (state_.load() == SEARCH_DESTROYED || stop_.load())
        return;
    state_.store(SEARCH_IDLE);
    if (found) {
        platform::PostWindowMessage(notify, WM_DEVICE_FOUND, static_cast<platform::WParam>(port),
                                    reinterpret_cast<platform::LParam>(&SEARCH_LINE_SETTINGS[row]));
    } else {
        platform::PostWindowMessage(notify, WM_DEVICE_NOT_FOUND, 0, 0);
    }
}

bool CQVAirDeviceSearch::Search(int* port, int* row)
{
    *port = 0;
    *row = 0;
    if (!transport_ || lastPort_ < firstPort_ || firstPort_ == 0 || stop_.load())
        return false;

    for (int pass = 1; pass <= kPassCount && !stop_.load() && transport_; ++pass) {
        for (int candidate = firstPort_; candidate <= lastPort_; ++candidate) {
            for (int index = 0; index < static_cast<int>(SEARCH_LINE_SETTINGS.size()); ++index) {
                if (stop_.load())
                    return false;
                if (Probe(candidate, SEARCH_LINE_SETTINGS[static_cast<std::size_t>(index)], pass)) {
                    *port = candidate;
                    *row = index;
                    return true;
                }
            }
            timing::SleepUnless(kPauseAfterPortMs, stop_);
        }
    }
    return false;
}

bool CQVAirDeviceSearch::Probe(int port, const SerialLineSettings& settings, int pass)
{
    char portName[16];
    std::snprintf(portName, sizeof portName, kPortNameFormat, port);
    if (!transport_->Open(portName, static_cast<int>(settings.baudRate), settings.dataBits, settings.parity,
                          settings.stopBits)) {
        NoteOpenFailure(port, transport_->SerialChannel().LastOpenError());
        return false;
    }
    transport_->SerialChannel().SetDTR(true);
    transport_->SerialChannel().SetRTS(true);

    const platform::WindowHandle notify = notifyWindow_.load();
    if (notify != platform::kNoWindow && !stop_.load()) {
        char status[128];
        std::snprintf(status, sizeof status, kStatusFormat, portName, static_cast<int>(settings.baudRate),
                      settings.dataBits, settings.parity, static_cast<double>(settings.stopBits));
        platform::PostWindowText(notify, WM_SEARCH_STATUS, static_cast<platform::WParam>(port), status);
    }

    // A failed check leaves the port open until the next Open, which closes it first.
    if (!ModemLinesPass(*transport_, pass))
        return false;
    if (timing::SleepUnless(kSettleBeforeProbeMs, stop_))
        return false;

    MessageParseState state;
    std::string reply;
    if (!CQVMessageParser::SendCommand(transport_.get(), 0, CMD_IDENTIFY, {}, kProbeTimeoutMs, &state, &reply,
                                       &stop_)) {
        timing::SleepUnless(kPauseBeforeCloseMs, stop_);
        transport_->SerialChannel().Close();
        timing::SleepUnless(kPauseAfterCloseMs, stop_);
        return false;
    }

    transport_->SerialChannel().Close();
    identityText_ = reply;
    if (!reply.empty() && !stop_.load())
        platform::PostWindowText(notify, WM_DEVICE_IDENTITY, static_cast<platform::WParam>(port), reply);
    return true;
}

void CQVAirDeviceSearch::NoteOpenFailure(int port, int error)
{
    std::optional<OpenFailure>& first = error == ENOENT ? firstMissing_ : firstRefused_;
    if (!first)
        first = OpenFailure{port, error};
}

std::optional<CQVAirDeviceSearch::OpenFailure> CQVAirDeviceSearch::LastOpenFailure() const
{
    return firstRefused_ ? firstRefused_ : firstMissing_;
}
