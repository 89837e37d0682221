#pragma once
// The main dialog's operation states. One operation runs at a time: a search state while
// the printer is looked for, a wait state while its one command is out, a dialog state
// while a child dialog does the work. 9 and 10 are never entered.

inline constexpr int STATE_INIT = 0;
inline constexpr int STATE_IDLE = 1;
inline constexpr int STATE_SEARCH_TEST_PRINT = 2;
inline constexpr int STATE_SEARCH_ROM_OPTION = 3;
inline constexpr int STATE_SEARCH_RFID_OPTION = 4;
inline constexpr int STATE_SEARCH_EDIT_CONFIG = 5;
inline constexpr int STATE_SEARCH_SET_CLOCK = 6;
inline constexpr int STATE_SEARCH_LOAD_FIRMWARE = 7;
inline constexpr int STATE_SEARCH_SEND_CONFIG = 8;
inline constexpr int STATE_WAIT_SETTINGS = 11;
inline constexpr int STATE_WAIT_TEST_PRINT = 12;
inline constexpr int STATE_WAIT_EEPROM_SETTINGS = 13;
inline constexpr int STATE_WAIT_ROM_OPTION = 14;
inline constexpr int STATE_WAIT_RFID_OPTION = 15;
inline constexpr int STATE_SETTINGS_DIALOG = 16;
inline constexpr int STATE_FIRMWARE_DIALOG = 17;
inline constexpr int STATE_WAIT_SET_CLOCK = 18;
inline constexpr int STATE_WAIT_FIRMWARE_CHECK = 19;
inline constexpr int STATE_WAIT_CONFIG_CHECK = 20;
inline constexpr int STATE_EXITING = 21;

// Values that no operation enters: 9 leaves the buttons enabled, 10 disables them.
inline constexpr int STATE_UNUSED_ENABLED = 9;
inline constexpr int STATE_UNUSED_DISABLED = 10;

// True in the states 2..8, in which a device search runs.
constexpr bool IsSearchState(int state)
{
    return state >= STATE_SEARCH_TEST_PRINT && state <= STATE_SEARCH_SEND_CONFIG;
}

// Whether the operation buttons are disabled in a state. They stay enabled in STATE_IDLE,
// in 9, in the wait states 12, 14, 15, 18, 19 and 20, and in any value above
// STATE_EXITING; a click there is refused by the search start, which runs only when idle.
constexpr bool AreButtonsDisabledInState(int state)
{
    switch (state) {
    case STATE_INIT:
    case STATE_UNUSED_DISABLED:
    case STATE_WAIT_SETTINGS:
    case STATE_WAIT_EEPROM_SETTINGS:
    case STATE_SETTINGS_DIALOG:
    case STATE_FIRMWARE_DIALOG:
    case STATE_EXITING:
        return true;
    default:
        return IsSearchState(state);
    }
}

// Whether the reset abandons the operation and returns to idle in a state (the busy
// states); in the others it ends the dialog, or only repeats that it is ending.
constexpr bool ResetReturnsToIdle(int state)
{
    return IsSearchState(state) || state == STATE_UNUSED_ENABLED ||
           (state >= STATE_WAIT_SETTINGS && state <= STATE_WAIT_CONFIG_CHECK);
}
