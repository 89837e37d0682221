// Operation states: which are searches, and in which the operation buttons are disabled.
#include "app/operation_states.h"

#include <gtest/gtest.h>

namespace {

TEST(OperationStates, SearchStatesAreTwoToEight)
{
    EXPECT_FALSE(IsSearchState(STATE_IDLE));
    EXPECT_TRUE(IsSearchState(STATE_SEARCH_TEST_PRINT));
    EXPECT_TRUE(IsSearchState(STATE_SEARCH_EDIT_CONFIG));
    EXPECT_TRUE(IsSearchState(STATE_SEARCH_SEND_CONFIG));
    EXPECT_FALSE(IsSearchState(9));
    EXPECT_FALSE(IsSearchState(STATE_WAIT_SETTINGS));
}

TEST(OperationStates, ButtonsAreDisabledWhileSearchingAndInDialogs)
{
    for (int state : {0, 2, 3, 4, 5, 6, 7, 8, 10, 11, 13, 16, 17, 21}) {
        SCOPED_TRACE(state);
        EXPECT_TRUE(AreButtonsDisabledInState(state));
    }
}

TEST(OperationStates, ButtonsStayEnabledForSingleCommandsAndWhenIdle)
{
    for (int state : {1, 9, 12, 14, 15, 18, 19, 20, 22, 100, -1}) {
        SCOPED_TRACE(state);
        EXPECT_FALSE(AreButtonsDisabledInState(state));
    }
}

TEST(OperationStates, NamedValues)
{
    EXPECT_EQ(STATE_INIT, 0);
    EXPECT_EQ(STATE_SEARCH_ROM_OPTION, 3);
    EXPECT_EQ(STATE_SEARCH_RFID_OPTION, 4);
    EXPECT_EQ(STATE_SEARCH_SET_CLOCK, 6);
    EXPECT_EQ(STATE_SEARCH_LOAD_FIRMWARE, 7);
    EXPECT_EQ(STATE_WAIT_TEST_PRINT, 12);
    EXPECT_EQ(STATE_WAIT_ROM_OPTION, 14);
    EXPECT_EQ(STATE_WAIT_RFID_OPTION, 15);
    EXPECT_EQ(STATE_WAIT_SET_CLOCK, 18);
    EXPECT_EQ(STATE_WAIT_FIRMWARE_CHECK, 19);
    EXPECT_EQ(STATE_WAIT_CONFIG_CHECK, 20);
    EXPECT_EQ(STATE_EXITING, 21);
}

} // namespace
