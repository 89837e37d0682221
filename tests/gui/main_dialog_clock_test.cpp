// Set Clock from the main dialog: the printer gets the local time as the clock text, and
// the status line follows the operation to its end.

#include "main_dialog_fixture.h"

#include "app/status_texts.h"
#include "comms/printer_codes.h"
#include "tests/support/message_recorder.h"

#include <QRegularExpression>

#include <cstdlib>
#include <ctime>

namespace main_dialog_test {
namespace {

constexpr std::uint8_t kRefusalCode = 0x61;
constexpr int kClockToleranceSeconds = 60;
// The silent printer makes the send job wait out its 15 s time-out; this compresses it.
constexpr double kFasterThanTheSendTimeout = 10;

// The calendar time a clock text stands for: hour, minute, second, year, day of the year.
std::time_t TimeOfClockText(const std::string& text)
{
    std::tm fields{};
    fields.tm_hour = std::atoi(text.substr(0, 2).c_str());
    fields.tm_min = std::atoi(text.substr(3, 2).c_str());
    fields.tm_sec = std::atoi(text.substr(6, 2).c_str());
    fields.tm_year = std::atoi(text.substr(9, 4).c_str()) - 1900;
    fields.tm_mon = 0;
    fields.tm_mday = std::atoi(text.substr(14, 3).c_str()); // day n of January normalises to day n of the year
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

using SetClock = MainDialogTest;

TEST_F(SetClock, PrinterReceivesTheLocalTimeAsClockText)
{
    StartPrinter();
    OpenDialog();

    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus(kStatusClockSet)) << Printable(StatusHistory());

    const std::vector<printer_sim::ReceivedFrame> clock = FramesWithCommand(CMD_SET_CLOCK);
    ASSERT_EQ(clock.size(), 1u);
    const std::string& text = clock[0].payload;
    EXPECT_TRUE(QRegularExpression(R"(^\d\d#\d\d#\d\d#\d{4}#\d{3}$)").match(QString::fromStdString(text)).hasMatch())
        << text;
    EXPECT_LE(std::abs(std::difftime(TimeOfClockText(text), std::time(nullptr))), kClockToleranceSeconds) << text;
}

TEST_F(SetClock, StatusGoesFromSearchingToClockSetAndTheDialogReturnsToIdle)
{
    StartPrinter();
    OpenDialog();

    Click(IDC_SET_CLOCK);
    EXPECT_EQ(dialog->OperationState(), STATE_SEARCH_SET_CLOCK);
    EXPECT_EQ(ExitCaption(), kCancelCaption);
    ASSERT_TRUE(WaitForStatus(kStatusClockSet));

    EXPECT_TRUE(AppearInOrder(StatusHistory(), {kStatusSearching, kStatusCommandSent, kStatusClockSet}))
        << Printable(StatusHistory());
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), kExitCaption);
    EXPECT_TRUE(OperationButtonsEnabled(true));
    EXPECT_EQ(dialog->Connection(), nullptr);
}

TEST_F(SetClock, RefusalByThePrinterShowsClockSetFailed)
{
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault refusal;
    refusal.kind = printer_sim::FaultKind::Refuse;
    refusal.command = CMD_SET_CLOCK;
    refusal.refuseCode = kRefusalCode;
    bagTag.AddFault(refusal);
    OpenDialog();

    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus(kStatusClockSetFailed)) << Printable(StatusHistory());

    EXPECT_EQ(FramesWithCommand(CMD_SET_CLOCK).size(), 1u);
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), kExitCaption);
}

TEST_F(SetClock, SilentPrinterShowsFailedToGetResponse)
{
    const test_support::ScopedSpeedFactor faster(kFasterThanTheSendTimeout);
    printer_sim::SimulatedPrinter& bagTag = StartPrinter();
    printer_sim::Fault silence;
    silence.kind = printer_sim::FaultKind::Silence;
    silence.command = CMD_SET_CLOCK;
    bagTag.AddFault(silence);
    OpenDialog();

    Click(IDC_SET_CLOCK);
    ASSERT_TRUE(WaitForStatus(kStatusNoResponse)) << Printable(StatusHistory());

    EXPECT_TRUE(AppearInOrder(StatusHistory(), {kStatusCommandSent, kStatusNoResponse}));
    EXPECT_EQ(dialog->OperationState(), STATE_IDLE);
    EXPECT_EQ(ExitCaption(), kExitCaption);
}

} // namespace
} // namespace main_dialog_test
