// The transport's pure helpers: the conversion of 16-bit characters to bytes, the
// port's mode string, and the CTrySemaphore that guards the receive queue.
#include "comms/comms.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

// ---------------------------------------------------------------- conversions

TEST(WideToBytes, CharactersAboveLatin1BecomeZeroBytes)
{
    const char16_t text[] = {u'A', u'\u20AC', u'B'};
    std::uint8_t out[3] = {0xFF, 0xFF, 0xFF};

    EXPECT_EQ(WideToBytes(out, text, 3), 3);

    EXPECT_EQ(out[0], 0x41);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(out[2], 0x42);
}

TEST(WideToBytes, Latin1CharactersKeepTheirValue)
{
    const char16_t text[] = {u'\u0001', u'\u007F', u'\u0080', u'\u00E9', u'\u00FF', u'\u0000', u'\u0100'};
    std::uint8_t out[7] = {};

    WideToBytes(out, text, 7);

    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x7F);
    EXPECT_EQ(out[2], 0x80);
    EXPECT_EQ(out[3], 0xE9);
    EXPECT_EQ(out[4], 0xFF);
    EXPECT_EQ(out[5], 0x00);
    EXPECT_EQ(out[6], 0x00);
}

// ---------------------------------------------------------------- mode string

TEST(ModeString, FormatsTheFourSettings)
{
    EXPECT_EQ(FormatModeString(19200, 'N', 8, 1.0f), "baud=19200 parity=N data=8 stop=1");
    EXPECT_EQ(FormatModeString(9600, 'E', 7, 1.0f), "baud=9600 parity=E data=7 stop=1");
}

TEST(ModeString, StopBitsAreFormattedWithoutDecimals)
{
    EXPECT_EQ(FormatModeString(9600, 'N', 8, 1.5f), "baud=9600 parity=N data=8 stop=2");
    EXPECT_EQ(FormatModeString(9600, 'N', 8, 2.0f), "baud=9600 parity=N data=8 stop=2");
}

TEST(ModeString, ParsesBackIntoLineSettings)
{
    platform::SerialLineConfig config;

    ASSERT_TRUE(ParseModeString("baud=38400 parity=E data=7 stop=1", &config));

    EXPECT_EQ(config.baudRate, 38400u);
    EXPECT_EQ(config.parity, 'E');
    EXPECT_EQ(config.dataBits, 7);
    EXPECT_FLOAT_EQ(config.stopBits, 1.0f);
}

TEST(ModeString, StopBitsOfOneAndAHalfArriveAsTwo)
{
    platform::SerialLineConfig config;

    ASSERT_TRUE(ParseModeString(FormatModeString(9600, 'N', 8, 1.5f), &config));

    EXPECT_FLOAT_EQ(config.stopBits, 2.0f);
}

TEST(ModeString, RefusesWhatAPortCannotTake)
{
    platform::SerialLineConfig config;
    EXPECT_FALSE(ParseModeString("baud=9600 parity=X data=8 stop=1", &config));
    EXPECT_FALSE(ParseModeString("baud=9600 parity=N data=9 stop=1", &config));
    EXPECT_FALSE(ParseModeString("baud=9600 parity=N data=8 stop=3", &config));
    EXPECT_FALSE(ParseModeString("baud=9600 parity=N", &config));
}

// ---------------------------------------------------------------- CTrySemaphore

TEST(TrySemaphore, TryLockTakesAFreeSemaphoreAndShowsItHeld)
{
    CTrySemaphore semaphore;

    EXPECT_TRUE(semaphore.TryLock());
    EXPECT_TRUE(semaphore.IsHeld());
}

TEST(TrySemaphore, TryLockGivesUpAtOnceWhileHeld)
{
    CTrySemaphore semaphore;
    ASSERT_TRUE(semaphore.TryLock());

    EXPECT_FALSE(semaphore.TryLock());
    EXPECT_TRUE(semaphore.IsHeld());
}

TEST(TrySemaphore, UnlockClearsTheHeldFlagAndFreesTheSemaphore)
{
    CTrySemaphore semaphore;
    ASSERT_TRUE(semaphore.TryLock());

    EXPECT_TRUE(semaphore.Unlock());

    EXPECT_FALSE(semaphore.IsHeld());
    EXPECT_TRUE(semaphore.TryLock());
}

TEST(TrySemaphore, ExtraUnlockLeavesACountOfOne)
{
    CTrySemaphore semaphore;
    EXPECT_TRUE(semaphore.Unlock());
    EXPECT_TRUE(semaphore.Unlock());

    ASSERT_TRUE(semaphore.TryLock());
    // Only one taker gets through: the blocking take waits in vain.
    EXPECT_FALSE(semaphore.Lock(50));
}

TEST(TrySemaphore, BlockingTakeWaitsForTheHolderToRelease)
{
    CTrySemaphore semaphore;
    ASSERT_TRUE(semaphore.TryLock());

    std::future<bool> taker = std::async(std::launch::async, [&] { return semaphore.Lock(5000); });
    ASSERT_EQ(taker.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    semaphore.Unlock();

    ASSERT_EQ(taker.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(taker.get());
    EXPECT_TRUE(semaphore.IsHeld());
}

TEST(TrySemaphore, BlockingTakeThatTimesOutClearsTheHeldFlag)
{
    CTrySemaphore semaphore;
    ASSERT_TRUE(semaphore.TryLock());

    EXPECT_FALSE(semaphore.Lock(20));

    EXPECT_FALSE(semaphore.IsHeld());
}

} // namespace
