// The port that a search covers, from the port combo's selection or typed text.
#include "app/port_text.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::uint8_t> Typed(const char* text)
{
    return PortNumberFromCombo(kPortComboNoSelection, QString::fromLatin1(text));
}

TEST(PortText, SelectedItemIndexIsThePort)
{
    EXPECT_EQ(PortNumberFromCombo(0, "AUTO"), 0);
    EXPECT_EQ(PortNumberFromCombo(12, "COM12"), 12);
    // The typed text does not matter while an item is selected.
    EXPECT_EQ(PortNumberFromCombo(3, "COM9"), 3);
}

TEST(PortText, TypedComTextInAnyCase)
{
    EXPECT_EQ(Typed("com12"), 12);
    EXPECT_EQ(Typed("COM7"), 7);
    EXPECT_EQ(Typed("Com7"), 7);
}

TEST(PortText, BlanksAroundAndAfterComAreIgnored)
{
    EXPECT_EQ(Typed("COM 7"), 7);
    EXPECT_EQ(Typed("  com 7  "), 7);
}

TEST(PortText, LeadingZerosAreRead)
{
    EXPECT_EQ(Typed("COM007"), 7);
}

TEST(PortText, TextWithoutComMeansEveryPort)
{
    EXPECT_EQ(Typed("12"), 0);
    EXPECT_EQ(Typed("AUTO"), 0);
    EXPECT_EQ(Typed(""), 0);
}

TEST(PortText, SignAfterComMeansEveryPort)
{
    EXPECT_EQ(Typed("COM-3"), 0);
    EXPECT_EQ(Typed("COM+3"), 0);
}

TEST(PortText, DigitsStopAtTheFirstOtherCharacter)
{
    EXPECT_EQ(Typed("COM12x4"), 12);
}

// The search takes 8 bits; a higher port has no printer rather than another port's.
TEST(PortText, PortsBeyondTheSearchAreNoPortRatherThanCutToEightBits)
{
    EXPECT_EQ(Typed("COM255"), 255);
    EXPECT_EQ(Typed("COM0255"), 255);
    for (const char* beyond : {"COM256", "COM261", "COM300", "COM511", "COM65536", "com 261", "COM2147483647",
                               "COM99999999999", "COM99999999999999999999", "COM000000000000000000000261"}) {
        SCOPED_TRACE(beyond);
        EXPECT_EQ(Typed(beyond), std::nullopt);
    }
}

TEST(PortText, ComboListsAutoThenComOneToFifty)
{
    const QStringList items = PortComboItems();
    ASSERT_EQ(items.size(), 51);
    EXPECT_EQ(items.front(), "AUTO");
    EXPECT_EQ(items.at(1), "COM1");
    EXPECT_EQ(items.at(12), "COM12");
    EXPECT_EQ(items.back(), "COM50");
}

} // namespace
