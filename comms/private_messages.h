#pragma once
// The program's private window messages, all in one table. The search's numbers and those
// of the dialogs are fixed; the worker threads' own are chosen in the private range above
// WM_USER (0x400) clear of the fixed ones.

inline constexpr unsigned WM_USER = 0x400;

// Device search (wParam port, lParam text or line-settings row).
inline constexpr unsigned WM_SEARCH_STATUS = 0x47E;
inline constexpr unsigned WM_DEVICE_FOUND = 0x47F;
inline constexpr unsigned WM_DEVICE_NOT_FOUND = 0x480;
inline constexpr unsigned WM_DEVICE_IDENTITY = 0x481;

// Send thread and flash thread.
inline constexpr unsigned WM_SEND_DONE = 0x501;
inline constexpr unsigned WM_UPDATING_FLASH = 0x502;
inline constexpr unsigned WM_LOAD_PROGRESS = 0x503;
inline constexpr unsigned WM_STATUS_TEXT = 0x504;
inline constexpr unsigned WM_FLASH_UPDATE_DONE = 0x505;

// The main dialog to itself: a firmware dialog that was closed inside its own
// notification may go now.
inline constexpr unsigned WM_DESTROY_PARKED_FIRMWARE_DIALOG = 0x506;

// Child dialogs to the main dialog. wParam of the end notifications (WM_CONFIG_UPDATED,
// WM_BPP_CONFIG_UPDATED, WM_FIRMWARE_LOAD_DONE) is one of the kChildResult values.
inline constexpr int kChildResultNone = 0;   // cancelled, or not finished
inline constexpr int kChildResultDone = 1;   // settings updated, firmware loaded
inline constexpr int kChildResultFailed = 2;
inline constexpr unsigned WM_FIRMWARE_LOAD_DONE = 0x472;
inline constexpr unsigned WM_CONFIG_UPDATED = 0x728;
inline constexpr unsigned WM_BPP_CONFIG_UPDATED = 0x6BF;
inline constexpr unsigned WM_CHANGE_DEVICE_TYPE = 0x6CF;

// Numeric controls.
inline constexpr unsigned WM_STEP_VALUE = 0x429;
inline constexpr unsigned WM_REVALIDATE = 0x450;
