// The device search (CQVAirDeviceSearch) against simulated printers on virtual lines:
// the three passes and their modem-line checks, the line-settings rows, the messages and
// their texts, Start's port clamping, and Stop or a second Start in the middle of a search.
// Every port without an entry of the test leads to no device, so no real port is touched.
#include "comms/device_search.h"
#include "comms/private_messages.h"
#include "tools/printer-sim/simulated_printer.h"

#include "comms_test_support.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using comms_test::HookedSink;
using comms_test::ScopedPortMap;
using comms_test::VirtualPort;
using test_support::MessageRecorder;
using test_support::ScopedSpeedFactor;

constexpr int kPort = 3;
constexpr platform::WindowHandle kWindow = 0xD5;
constexpr int kWaitMs = 20000;
constexpr double kFaster = 5; // the fixed waits around each probe are not under test here

printer_sim::PrinterConfig PrinterAt(std::uint32_t baudRate, bool cts, bool dsr)
{
    printer_sim::PrinterConfig config;
    config.line = platform::SerialLineConfig{baudRate, 8, 'N', 1.0f};
    config.cts = cts;
    config.dsr = dsr;
    return config;
}

platform::LParam RowParam(std::size_t row)
{
    return reinterpret_cast<platform::LParam>(&SEARCH_LINE_SETTINGS[row]);
}

class DeviceSearchTest : public ::testing::Test {
protected:
    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const platform::PostedMessage& message : recorder.MessagesWithId(WM_SEARCH_STATUS))
            texts.push_back(message.text.value_or("<no text>"));
        return texts;
    }

    platform::PostedMessage Last() const
    {
        const std::vector<platform::PostedMessage> messages = recorder.Messages();
        return messages.empty() ? platform::PostedMessage{} : messages.back();
    }

    bool WaitForEnd() const
    {
        return recorder.WaitUntil(
            [](const platform::PostedMessage& m) { return m.id == WM_DEVICE_FOUND || m.id == WM_DEVICE_NOT_FOUND; },
            kWaitMs);
    }

    ScopedSpeedFactor faster{kFaster};
    ScopedPortMap map;
    VirtualPort port{map, kPort};
    MessageRecorder recorder;
    std::unique_ptr<CQVAirDeviceSearch> search = std::make_unique<CQVAirDeviceSearch>();
};

// ---------------------------------------------------------------- finding a printer

TEST_F(DeviceSearchTest, PrinterWithBothLinesOnIsFoundInPassOneAtItsRow)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(9600, true, true));
    std::atomic<std::int32_t> stateAtFound{-1};
    HookedSink watch(recorder, [&](const platform::PostedMessage& message) {
        if (message.id == WM_DEVICE_FOUND)
            stateAtFound.store(search->State());
    });

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    // Row 0 (19200 8N1) was probed in vain, row 1 (9600 8N1) answered.
    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{"Searching port:\nCOM3,19200,8,N,1",
                                                       "Searching port:\nCOM3,9600,8,N,1"}));
    const std::vector<platform::PostedMessage> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[2].id, WM_DEVICE_IDENTITY);
    EXPECT_EQ(messages[2].wParam, static_cast<platform::WParam>(kPort));
    EXPECT_EQ(messages[2].text, std::optional<std::string>("YT00000006060"));
    EXPECT_EQ(messages[3].id, WM_DEVICE_FOUND);
    EXPECT_EQ(messages[3].window, kWindow);
    EXPECT_EQ(messages[3].wParam, static_cast<platform::WParam>(kPort));
    EXPECT_EQ(messages[3].lParam, RowParam(1));
    EXPECT_EQ(stateAtFound.load(), CQVAirDeviceSearch::SEARCH_IDLE);
    EXPECT_EQ(search->IdentityText(), "YT00000006060");
}

TEST_F(DeviceSearchTest, PortIsClosedWhenThePrinterIsFound)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, true, true));

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    EXPECT_EQ(Last().lParam, RowParam(0));
    EXPECT_FALSE(port->HostIsOpen()); // the main dialog opens it next
    ASSERT_EQ(printer.ReceivedFrames().size(), 1u);
    EXPECT_EQ(printer.ReceivedFrames()[0].command, CMD_IDENTIFY);
}

TEST_F(DeviceSearchTest, StatusTextNamesThePortAndTheRow)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, true, true));

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    const std::vector<platform::PostedMessage> statuses = recorder.MessagesWithId(WM_SEARCH_STATUS);
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].wParam, static_cast<platform::WParam>(kPort));
    EXPECT_EQ(statuses[0].text, std::optional<std::string>("Searching port:\nCOM3,19200,8,N,1"));
}

TEST_F(DeviceSearchTest, PrinterWithOnlyDsrOnIsFoundInPassTwo)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, false, true));

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    // Pass 1 opened all nine rows but probed none; pass 2 answered at row 0.
    const std::vector<std::string> statuses = StatusTexts();
    ASSERT_EQ(statuses.size(), SEARCH_LINE_SETTINGS.size() + 1);
    EXPECT_EQ(statuses[8], "Searching port:\nCOM3,1200,8,N,1");
    EXPECT_EQ(statuses[9], "Searching port:\nCOM3,19200,8,N,1");
    EXPECT_EQ(printer.ReceivedFrames().size(), 1u);
    EXPECT_EQ(Last().lParam, RowParam(0));
}

TEST_F(DeviceSearchTest, PrinterWithNeitherLineOnIsFoundInPassThree)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, false, false));

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    EXPECT_EQ(StatusTexts().size(), 2 * SEARCH_LINE_SETTINGS.size() + 1);
    EXPECT_EQ(printer.ReceivedFrames().size(), 1u);
    EXPECT_EQ(Last().id, WM_DEVICE_FOUND);
    EXPECT_EQ(Last().lParam, RowParam(0));
}

TEST_F(DeviceSearchTest, EmptyIdentityIsFoundWithoutAnIdentityMessage)
{
    printer_sim::PrinterConfig config = PrinterAt(19200, true, true);
    config.identity.clear();
    printer_sim::SimulatedPrinter printer(port.Line(), config);

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    EXPECT_TRUE(recorder.MessagesWithId(WM_DEVICE_IDENTITY).empty());
    EXPECT_EQ(Last().wParam, static_cast<platform::WParam>(kPort));
}

TEST_F(DeviceSearchTest, ReplyWithAnyCodeCountsAsAnAnswer)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, true, true));
    printer_sim::Fault refuse;
    refuse.kind = printer_sim::FaultKind::Refuse;
    refuse.refuseCode = 0x7E;
    printer.AddFault(refuse);

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(Last().id, WM_DEVICE_FOUND);
    EXPECT_EQ(Last().lParam, RowParam(0));
}

// The probe waits 1500 ms for a reply, so a printer that answers after 1.25 s is found at
// its first row, not a pass later.
TEST_F(DeviceSearchTest, PrinterThatAnswersAfterOneAndAQuarterSecondsIsFoundAtItsFirstRow)
{
    ScopedSpeedFactor realTime{1.0};
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, true, true));
    printer_sim::Fault slow;
    slow.kind = printer_sim::FaultKind::Delayed;
    slow.command = CMD_IDENTIFY;
    slow.delayMs = 1250;
    printer.AddFault(slow);

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"Searching port:\nCOM3,19200,8,N,1"});
    EXPECT_EQ(Last().id, WM_DEVICE_FOUND);
    EXPECT_EQ(Last().lParam, RowParam(0));
}

TEST_F(DeviceSearchTest, PrinterOnTheSecondPortOfARangeIsFound)
{
    VirtualPort secondPort{map, kPort + 1};
    printer_sim::SimulatedPrinter printer(secondPort.Line(), PrinterAt(19200, true, true));

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort + 1));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));

    EXPECT_EQ(Last().wParam, static_cast<platform::WParam>(kPort + 1));
    EXPECT_EQ(recorder.MessagesWithId(WM_DEVICE_IDENTITY).front().wParam, static_cast<platform::WParam>(kPort + 1));
}

// ---------------------------------------------------------------- finding nothing

TEST_F(DeviceSearchTest, NothingAnsweringEndsWithNotFoundAndIdle)
{
    ScopedSpeedFactor muchFaster(20); // nine silent probes of about two seconds each
    std::atomic<std::int32_t> stateAtNotFound{-1};
    HookedSink watch(recorder, [&](const platform::PostedMessage& message) {
        if (message.id == WM_DEVICE_NOT_FOUND)
            stateAtNotFound.store(search->State());
    });

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_NOT_FOUND, kWaitMs));

    const platform::PostedMessage last = Last();
    EXPECT_EQ(last.id, WM_DEVICE_NOT_FOUND);
    EXPECT_EQ(last.wParam, 0u);
    EXPECT_EQ(last.lParam, 0);
    EXPECT_EQ(stateAtNotFound.load(), CQVAirDeviceSearch::SEARCH_IDLE);
    EXPECT_EQ(search->State(), CQVAirDeviceSearch::SEARCH_IDLE);
    EXPECT_EQ(StatusTexts().size(), 3 * SEARCH_LINE_SETTINGS.size());
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(DeviceSearchTest, PortThatDoesNotExistPostsNoStatus)
{
    ScopedSpeedFactor realTime(1); // so that Start sees the short search running
    ASSERT_TRUE(search->Start(kWindow, 5, 5));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_NOT_FOUND, kWaitMs));

    EXPECT_TRUE(recorder.MessagesWithId(WM_SEARCH_STATUS).empty());
    EXPECT_EQ(Last().id, WM_DEVICE_NOT_FOUND);
    ASSERT_TRUE(search->LastOpenFailure().has_value());
    EXPECT_EQ(search->LastOpenFailure()->port, 5);
    EXPECT_EQ(search->LastOpenFailure()->error, ENOENT);
}

// A port in use tells more than the ports without a device around it, wherever it lies.
TEST_F(DeviceSearchTest, PortInUseIsPassedOverAndReportedBeforeMissingOnes)
{
    ScopedSpeedFactor realTime(1);
    CComms holder;
    ASSERT_TRUE(holder.Open("COM3", 19200, 8, 'N', 1.0f));

    ASSERT_TRUE(search->Start(kWindow, kPort - 1, kPort + 1));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_NOT_FOUND, kWaitMs));

    EXPECT_TRUE(recorder.MessagesWithId(WM_SEARCH_STATUS).empty());
    ASSERT_TRUE(search->LastOpenFailure().has_value());
    EXPECT_EQ(search->LastOpenFailure()->port, kPort);
    EXPECT_EQ(search->LastOpenFailure()->error, EBUSY);
}

// ---------------------------------------------------------------- Start's port range

struct PortRange {
    std::uint8_t first;
    std::uint8_t last;
    std::uint8_t clampedFirst;
    std::uint8_t clampedLast;
};

class SearchPortClamping : public DeviceSearchTest, public ::testing::WithParamInterface<PortRange> {};

TEST_P(SearchPortClamping, StartClampsThePortRange)
{
    ScopedSpeedFactor realTime(1);
    const PortRange range = GetParam();

    ASSERT_TRUE(search->Start(kWindow, range.first, range.last));
    const std::uint8_t first = search->FirstPort();
    const std::uint8_t last = search->LastPort();
    search->Stop();

    EXPECT_EQ(first, range.clampedFirst);
    EXPECT_EQ(last, range.clampedLast);
}

INSTANTIATE_TEST_SUITE_P(Ranges, SearchPortClamping,
                         ::testing::Values(PortRange{0, 0, 1, 255}, PortRange{5, 5, 5, 5}, PortRange{7, 3, 7, 7},
                                           PortRange{0, 3, 1, 3}),
                         [](const ::testing::TestParamInfo<PortRange>& info) {
                             return "From" + std::to_string(info.param.first) + "To" + std::to_string(info.param.last);
                         });

// ---------------------------------------------------------------- stopping

TEST_F(DeviceSearchTest, StopMidProbeEndsAtOnceAndNothingIsPostedAfterwards)
{
    ScopedSpeedFactor realTime(1);
    port->SetCts(true);
    port->SetDsr(true); // nobody answers: every probe waits for its whole time-out
    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_SEARCH_STATUS, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(700)); // past the settle, into the reply wait

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(search->Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

    const std::size_t postedAtStop = recorder.Messages().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(recorder.Messages().size(), postedAtStop);
    EXPECT_TRUE(recorder.MessagesWithId(WM_DEVICE_FOUND).empty());
    EXPECT_TRUE(recorder.MessagesWithId(WM_DEVICE_NOT_FOUND).empty());
    EXPECT_EQ(search->State(), CQVAirDeviceSearch::SEARCH_IDLE);
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(DeviceSearchTest, SecondStartStopsTheFirstSearch)
{
    constexpr platform::WindowHandle kSecondWindow = 0xD6;
    port->SetCts(true);
    port->SetDsr(true); // the first search probes a port where nobody answers
    VirtualPort printerPort{map, kPort + 1};
    printer_sim::SimulatedPrinter printer(printerPort.Line(), PrinterAt(19200, true, true));
    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_SEARCH_STATUS, kWaitMs));

    ASSERT_TRUE(search->Start(kSecondWindow, kPort + 1, kPort + 1));

    EXPECT_FALSE(port->HostIsOpen()); // the first search's transport is gone
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));
    const platform::PostedMessage found = recorder.MessagesWithId(WM_DEVICE_FOUND).front();
    EXPECT_EQ(found.window, kSecondWindow);
    EXPECT_EQ(found.wParam, static_cast<platform::WParam>(kPort + 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const platform::PostedMessage& message : recorder.Messages()) {
        if (message.window == kWindow) {
            EXPECT_EQ(message.id, WM_SEARCH_STATUS);
            EXPECT_EQ(message.wParam, static_cast<platform::WParam>(kPort));
        }
    }
}

TEST_F(DeviceSearchTest, DestructionMidSearchPostsNothingAndReleasesThePort)
{
    port->SetCts(true);
    port->SetDsr(true);
    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_SEARCH_STATUS, kWaitMs));

    search.reset();

    const std::size_t postedAtEnd = recorder.Messages().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(recorder.Messages().size(), postedAtEnd);
    EXPECT_TRUE(recorder.MessagesWithId(WM_DEVICE_NOT_FOUND).empty());
    EXPECT_FALSE(port->HostIsOpen());
}

TEST_F(DeviceSearchTest, SearchCanBeStartedAgainAfterItFinished)
{
    printer_sim::SimulatedPrinter printer(port.Line(), PrinterAt(19200, true, true));
    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));
    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));
    recorder.Clear();

    ASSERT_TRUE(search->Start(kWindow, kPort, kPort));

    ASSERT_TRUE(recorder.WaitFor(WM_DEVICE_FOUND, kWaitMs));
    EXPECT_EQ(printer.ReceivedFrames().size(), 2u);
}

} // namespace
