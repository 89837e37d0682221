// The USB flash engine end to end: a real flash thread writes an image to the simulated
// printer in update mode, which restarts in normal mode and brings its serial line (a
// virtual line that a CComms watches) back up.

#include "comms/comms.h"
#include "comms/private_messages.h"
#include "firmware/update_firmware_ptr_mode.h"
#include "platform/port_map.h"
#include "platform/usb_simulated_backend.h"
#include "platform/virtual_line.h"
#include "tests/support/message_recorder.h"

#include "tests/support/scoped_port_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::PostedMessage;
using platform::SimulatedUsbBackend;
using platform::SimulatedUsbDevice;

constexpr double kFastClock = 25.0;
constexpr int kJobRealMs = 30000; // bound for one job; a compressed one takes well under a second
constexpr platform::WindowHandle kDialog = 0x105;
constexpr std::uint32_t kBlockSize = 8192;
constexpr char kPort[] = "COM7";
constexpr char kLineName[] = "flash-test-printer";

// Records the printer's serial lines at the moment the end is posted, and runs the test's
// own look (set before the job starts) on each message as it is posted.
class LineWatchingSink final : public platform::MessageSink {
public:
    LineWatchingSink(test_support::MessageRecorder& recorder, std::shared_ptr<platform::VirtualLine> line)
        : recorder_(recorder), line_(std::move(line)), previous_(platform::SetMessageSink(this))
    {
    }
    ~LineWatchingSink() override { platform::SetMessageSink(previous_); }
    LineWatchingSink(const LineWatchingSink&) = delete;
    LineWatchingSink& operator=(const LineWatchingSink&) = delete;

    bool Post(PostedMessage message) override
    {
        if (onPost)
            onPost(message);
        if (message.id == WM_FLASH_UPDATE_DONE) {
            std::lock_guard lock(mutex_);
            dsrAtDone_ = line_->Dsr();
            ctsAtDone_ = line_->Cts();
        }
        return recorder_.Post(std::move(message));
    }
    bool DsrAtDone() const
    {
        std::lock_guard lock(mutex_);
        return dsrAtDone_;
    }
    bool CtsAtDone() const
    {
        std::lock_guard lock(mutex_);
        return ctsAtDone_;
    }

    std::function<void(const PostedMessage&)> onPost;

private:
    test_support::MessageRecorder& recorder_;
    std::shared_ptr<platform::VirtualLine> line_;
    platform::MessageSink* previous_;
    mutable std::mutex mutex_;
    bool dsrAtDone_ = false;
    bool ctsAtDone_ = false;
};

std::vector<std::uint8_t> TestImage(std::size_t length)
{
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return image;
}

class FlashUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RegisterVirtualLine(kLineName, line);
        portMap.Set(kPort, std::string(platform::kVirtualDevicePrefix) + kLineName);
        line->SetDsr(true);
        line->SetCts(true);
        ASSERT_TRUE(comms.Open(kPort, 19200, 8, 'N', 1.0f));
    }
    void TearDown() override
    {
        comms.Close();
        platform::UnregisterVirtualLine(kLineName);
    }

    // The printer after it switched into update mode; it restarts once its image is in.
    SimulatedUsbDevice PrinterInUpdateMode()
    {
        SimulatedUsbDevice device;
        device.serial = SimulatedUsbBackend::HexSerial("MRV41F000123");
        device.restart.normalSerial = SimulatedUsbBackend::HexSerial("MRV41E000123");
        device.restart.line = line;
        return device;
    }

    bool Start(const std::vector<std::uint8_t>& image, std::uint32_t blockSize = kBlockSize)
    {
        return engine->StartFlashUpdate(&comms, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                        USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, blockSize, image.data(),
                                        static_cast<std::uint32_t>(image.size()), kDialog);
    }

    bool WaitForDone() { return recorder.WaitFor(WM_FLASH_UPDATE_DONE, kJobRealMs); }

    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const PostedMessage& message : recorder.MessagesWithId(WM_STATUS_TEXT))
            texts.push_back(message.text.value_or("<no text>"));
        return texts;
    }

    platform::WParam DoneResult() const
    {
        const auto done = recorder.MessagesWithId(WM_FLASH_UPDATE_DONE);
        EXPECT_EQ(done.size(), 1u);
        return done.empty() ? 99 : done.front().wParam;
    }

    // The image chunks: every write after the two flash commands.
    std::vector<std::size_t> ChunkSizes(SimulatedUsbBackend::DeviceId printer) const
    {
        std::vector<std::size_t> sizes;
        const auto writes = usb.Writes(printer);
        for (std::size_t i = 2; i < writes.size(); ++i)
            sizes.push_back(writes[i].size());
        return sizes;
    }

    std::shared_ptr<platform::VirtualLine> line = platform::VirtualLine::Create();
    test_support::ScopedPortMap portMap;
    CComms comms;
    SimulatedUsbBackend usb;
    platform::ScopedUsbBackend installed{usb};
    test_support::MessageRecorder recorder;
    LineWatchingSink sink{recorder, line};
    test_support::ScopedSpeedFactor fastClock{kFastClock};
    std::unique_ptr<CUpdateFirmwarePtrMode> engine = std::make_unique<CUpdateFirmwarePtrMode>();
};

TEST_F(FlashUpdate, SuccessfulLoadShowsEveryStepInOrder)
{
    usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(3 * kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{"Firmware Update Mode Running", "Firmware Loading",
                                                       "Firmware Loading - Start Delay", "Firmware Loading",
                                                       "Firmware Update - Restarting", "Firmware Update - Finished"}));
    EXPECT_EQ(DoneResult(), 1u);
    EXPECT_EQ(recorder.MessagesWithId(WM_FLASH_UPDATE_DONE).front().lParam,
              reinterpret_cast<platform::LParam>(engine.get()));
}

TEST_F(FlashUpdate, ImageArrivesByteForByteAfterTheTwoCommands)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());
    const std::vector<std::uint8_t> image = TestImage(3 * kBlockSize - 100);

    ASSERT_TRUE(Start(image));
    ASSERT_TRUE(WaitForDone());

    const auto writes = usb.Writes(printer);
    ASSERT_GE(writes.size(), 2u);
    // ESC "*" "F" "R", then ESC "I" "A" SI.
    EXPECT_EQ(writes[0], (std::vector<std::uint8_t>{0x1B, 0x2A, 0x46, 0x52}));
    EXPECT_EQ(writes[1], (std::vector<std::uint8_t>{0x1B, 0x49, 0x41, 0x0F}));
    EXPECT_EQ(usb.Image(printer), image);
    EXPECT_EQ(ChunkSizes(printer), (std::vector<std::size_t>{8192, 8192, 8092}));
}

TEST_F(FlashUpdate, ProgressCountsBlocksFromZero)
{
    usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(3 * kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    std::vector<platform::LParam> blocks;
    for (const PostedMessage& message : recorder.MessagesWithId(WM_LOAD_PROGRESS)) {
        EXPECT_EQ(message.wParam, 1u);
        blocks.push_back(message.lParam);
    }
    EXPECT_EQ(blocks, (std::vector<platform::LParam>{0, 1, 2}));
}

TEST_F(FlashUpdate, UpdatingFlashFollowsTheLastBlockAndPrecedesTheRestart)
{
    usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(2 * kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    std::vector<std::string> order;
    for (const PostedMessage& message : recorder.Messages()) {
        if (message.id == WM_LOAD_PROGRESS)
            order.push_back("block " + std::to_string(message.lParam));
        else if (message.id == WM_UPDATING_FLASH)
            order.push_back("updating flash");
        else if (message.id == WM_STATUS_TEXT && message.text == STATUS_RESTARTING)
            order.push_back("restarting");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"block 0", "block 1", "updating flash", "restarting"}));
    const auto updating = recorder.MessagesWithId(WM_UPDATING_FLASH);
    ASSERT_EQ(updating.size(), 1u);
    EXPECT_EQ(updating.front().wParam, 1u);
    EXPECT_EQ(updating.front().lParam, reinterpret_cast<platform::LParam>(engine.get()));
}

TEST_F(FlashUpdate, DoneWaitsForTheNormalDeviceAndThenDsrAndCts)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.dsrAfterMs = 2000;
    printer.restart.ctsAfterMs = 2000;
    const auto updateMode = usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize + 1)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(DoneResult(), 1u);
    EXPECT_FALSE(usb.IsPresent(updateMode));
    EXPECT_TRUE(usb.FindDevice(platform::kSimulatedNormalModeProductId).has_value());
    EXPECT_TRUE(sink.DsrAtDone());
    EXPECT_TRUE(sink.CtsAtDone());
}

TEST_F(FlashUpdate, NoDeviceIsLeftOpenAfterTheJob)
{
    usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_GE(usb.OpenCount(), 1);
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(FlashUpdate, BlockSizeBelow512WritesChunksOf512)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(1300), 100));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(ChunkSizes(printer), (std::vector<std::size_t>{512, 512, 276}));
    EXPECT_EQ(recorder.MessagesWithId(WM_LOAD_PROGRESS).size(), 3u);
}

TEST_F(FlashUpdate, ImageOneByteOverABlockGoesInTwoChunks)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());

    ASSERT_TRUE(Start(TestImage(8193)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(ChunkSizes(printer), (std::vector<std::size_t>{8192, 1}));
    const auto progress = recorder.MessagesWithId(WM_LOAD_PROGRESS);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].lParam, 0);
    EXPECT_EQ(progress[1].lParam, 1);
    EXPECT_EQ(DoneResult(), 1u);
}

TEST_F(FlashUpdate, FlashReadyAnywhereInTheReplyPasses)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    const std::string reply = "S\x01 status: FLASH READY (boot 2.1)";
    printer.flashPrepareReply.assign(reply.begin(), reply.end());
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(DoneResult(), 1u);
}

TEST_F(FlashUpdate, ReplyWithoutFlashReadyFails)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    const std::string reply = "S-NOT READY";
    printer.flashPrepareReply.assign(reply.begin(), reply.end());
    const auto updateMode = usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Failed to entered flash programming mode");
    EXPECT_EQ(DoneResult(), 0u);
    EXPECT_TRUE(usb.Image(updateMode).empty());
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(FlashUpdate, FlashReadyBeyondAZeroByteDoesNotCount)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    const std::string reply("S\0FLASH READY", 13);
    printer.flashPrepareReply.assign(reply.begin(), reply.end());
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Failed to entered flash programming mode");
}

TEST_F(FlashUpdate, DirtyStatusStopsBeforeAnyCommand)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.statusReply = {0x53, 0x00, 0x00, 0x00, 0x80};
    const auto updateMode = usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{"Firmware Update Mode Running", "Printer Is NOT Responding"}));
    EXPECT_EQ(DoneResult(), 0u);
    EXPECT_TRUE(usb.Writes(updateMode).empty());
}

TEST_F(FlashUpdate, GarbageStatusMeansNotResponding)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.garbageStatus = true;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Printer Is NOT Responding");
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, RefusedFlashRequestFails)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.failWriteNumber = 1;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Error 1bFR");
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, RefusedFlashPrepareFails)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.failWriteNumber = 2;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Error 1bIA");
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, SilentPrinterCannotReadStatusBack)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.readsReturnNothing = true;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{"Firmware Update Mode Running", "Could not read status back"}));
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, RefusedBlockWriteFailsWithoutText)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.failWriteNumber = 4; // the second block
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(3 * kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Firmware Loading");
    EXPECT_EQ(recorder.MessagesWithId(WM_LOAD_PROGRESS).size(), 1u);
    EXPECT_TRUE(recorder.MessagesWithId(WM_UPDATING_FLASH).empty());
    EXPECT_EQ(DoneResult(), 0u);
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(FlashUpdate, DeviceVanishingMidImageFails)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.vanishAfterImageBytes = kBlockSize + 10;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(3 * kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(recorder.MessagesWithId(WM_LOAD_PROGRESS).size(), 1u);
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, NoPrinterInUpdateModeFailsWithoutText)
{
    test_support::ScopedSpeedFactor fasterStill(200); // 100 tries, 300 ms apart

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_TRUE(StatusTexts().empty());
    EXPECT_EQ(DoneResult(), 0u);
}

TEST_F(FlashUpdate, PrinterThatNeverComesBackInNormalModeFails)
{
    test_support::ScopedSpeedFactor fasterStill(1000); // 950 + 350 tries, 100 ms apart
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.enabled = false;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    const auto texts = StatusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), STATUS_RESTARTING), 0);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), STATUS_FINISHED), 0);
    EXPECT_EQ(recorder.MessagesWithId(WM_UPDATING_FLASH).size(), 1u);
    EXPECT_EQ(DoneResult(), 0u);
}

// After the last block: 100 ms; 100 ms after each of the 950 looks that still find the
// printer in update mode; then 350 looks for it in normal mode, 100 ms apart, and no pause
// after the last before the engine gives up.
TEST_F(FlashUpdate, EngineGivesUpRightAfterItsLastLookForThePrinterInNormalMode)
{
    test_support::ScopedSpeedFactor fasterStill(1000);
    test_support::ThreadWaitLog flashThreadWaits;
    sink.onPost = [&](const PostedMessage& message) {
        if (message.id == WM_UPDATING_FLASH)
            flashThreadWaits.FollowThisThread();
    };
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.enabled = false;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(flashThreadWaits.Waits(), std::vector<std::uint32_t>(1 + 950 + 349, 100));
}

// The engine looks for the printer in normal mode 350 times, 100 ms apart: one that takes
// half a minute to restart is still found.
TEST_F(FlashUpdate, PrinterThatTakesHalfAMinuteToComeBackIsStillFound)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.appearAfterMs = 30000;
    usb.AddDevice(printer);

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(StatusTexts().back(), "Firmware Update - Finished");
    EXPECT_EQ(DoneResult(), 1u);
}

TEST_F(FlashUpdate, NoImageIsRefusedAndPostsNothing)
{
    const std::vector<std::uint8_t> image = TestImage(16);

    EXPECT_FALSE(engine->StartFlashUpdate(&comms, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                          USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, kBlockSize, nullptr, 16,
                                          kDialog));
    EXPECT_FALSE(engine->StartFlashUpdate(&comms, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                          USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, kBlockSize,
                                          image.data(), 0, kDialog));
    EXPECT_FALSE(engine->IsRunning());
    engine.reset();
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(FlashUpdate, DestroyingTheEngineMidJobStopsItQuietly)
{
    const auto printer = usb.AddDevice(PrinterInUpdateMode());
    ASSERT_TRUE(Start(TestImage(64 * kBlockSize)));
    ASSERT_TRUE(recorder.WaitFor(WM_LOAD_PROGRESS, kJobRealMs));

    engine.reset();
    const std::size_t postedBeforeEnd = recorder.Messages().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    EXPECT_EQ(recorder.Messages().size(), postedBeforeEnd);
    EXPECT_TRUE(recorder.MessagesWithId(WM_FLASH_UPDATE_DONE).empty());
    EXPECT_EQ(usb.OpenHandleCount(), 0);
    EXPECT_LT(usb.Image(printer).size(), 64 * kBlockSize);
}

TEST_F(FlashUpdate, DestroyingTheEngineWhileItSearchesStopsIt)
{
    ASSERT_TRUE(Start(TestImage(kBlockSize)));

    engine.reset();

    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(FlashUpdate, DestroyingTheEngineDuringASilentPrintersStatusReadReturnsSoon)
{
    test_support::ScopedSpeedFactor realTime(1.0); // each silent read takes its 500 ms time-out
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.readsReturnNothing = true;
    usb.AddDevice(printer);
    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(recorder.WaitFor(WM_STATUS_TEXT, kJobRealMs));
    // 500 ms after "Firmware Update Mode Running" the status read begins; stop inside it.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));

    const auto stoppedAt = std::chrono::steady_clock::now();
    engine.reset();

    // Unstopped, the rest of the status read alone would take well over a second.
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, std::chrono::seconds(1));
    EXPECT_EQ(StatusTexts(), std::vector<std::string>{"Firmware Update Mode Running"});
    EXPECT_TRUE(recorder.MessagesWithId(WM_FLASH_UPDATE_DONE).empty());
    EXPECT_EQ(usb.OpenHandleCount(), 0);
}

TEST_F(FlashUpdate, StoppedEngineRefusesANewJobWithoutText)
{
    test_support::ScopedSpeedFactor realTime(1.0);
    const auto printer = usb.AddDevice(PrinterInUpdateMode());
    engine->RequestStop();

    const auto startedAt = std::chrono::steady_clock::now();
    EXPECT_FALSE(Start(TestImage(kBlockSize)));

    // Refused outright: no thread is started and waited for (100 polls, 10 ms apart).
    EXPECT_LT(std::chrono::steady_clock::now() - startedAt, std::chrono::milliseconds(500));
    EXPECT_FALSE(engine->IsRunning());
    engine.reset();
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(usb.OpenCount(), 0);
    EXPECT_TRUE(usb.Writes(printer).empty());
}

TEST_F(FlashUpdate, RestartingIsPostedOnlyOnceTheUpdateModeDeviceHasGone)
{
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.vanishAfterMs = 3000; // the device stays on the bus a while after its image
    const auto updateMode = usb.AddDevice(printer);
    std::atomic<int> restartingWhilePresent{0};
    sink.onPost = [&](const PostedMessage& message) {
        if (message.id == WM_STATUS_TEXT && message.text == STATUS_RESTARTING && usb.IsPresent(updateMode))
            ++restartingWhilePresent;
    };

    ASSERT_TRUE(Start(TestImage(kBlockSize)));
    ASSERT_TRUE(WaitForDone());

    const auto texts = StatusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), STATUS_RESTARTING), 1);
    EXPECT_EQ(restartingWhilePresent.load(), 0);
    EXPECT_EQ(DoneResult(), 1u);
}

TEST_F(FlashUpdate, JobWithoutSerialConnectionStillSucceeds)
{
    usb.AddDevice(PrinterInUpdateMode());
    const std::vector<std::uint8_t> image = TestImage(kBlockSize);

    ASSERT_TRUE(engine->StartFlashUpdate(nullptr, USB_UPDATE_MODE_HARDWARE_ID, USB_UPDATE_MODE_MODEL,
                                         USB_NORMAL_MODE_HARDWARE_ID, USB_NORMAL_MODE_MODEL, kBlockSize, image.data(),
                                         static_cast<std::uint32_t>(image.size()), kDialog));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(DoneResult(), 1u);
}

TEST_F(FlashUpdate, ShortImageAtRealSpeed)
{
    test_support::ScopedSpeedFactor realTime(1.0);
    SimulatedUsbDevice printer = PrinterInUpdateMode();
    printer.restart.vanishAfterMs = 100;
    printer.restart.appearAfterMs = 300;
    printer.restart.dsrAfterMs = 200;
    printer.restart.ctsAfterMs = 200;
    const auto updateMode = usb.AddDevice(printer);
    const std::vector<std::uint8_t> image = TestImage(2 * kBlockSize + 17);

    ASSERT_TRUE(Start(image));
    ASSERT_TRUE(WaitForDone());

    EXPECT_EQ(DoneResult(), 1u);
    EXPECT_EQ(usb.Image(updateMode), image);
    EXPECT_EQ(StatusTexts().back(), "Firmware Update - Finished");
    EXPECT_TRUE(sink.CtsAtDone());
}

} // namespace
