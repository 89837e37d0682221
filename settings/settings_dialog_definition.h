#pragma once
// Everything that makes one settings dialog what it is: its template, its tables and the few
// values in which the dialogs differ. The settings engine (settings_dialog.h) runs over one
// such definition; each dialog's definition is constant data in its own tables file.

#include "settings/setting_tables.h"
#include "ui/dialog_template.h"

#include <cstdint>
#include <span>
#include <string_view>

struct SettingsTables {
    std::span<const SettingDescriptor> settings;
    std::span<const SettingDefault> defaults;
    std::span<const SettingChoice> choices;
    std::span<const ToolTipEntry> toolTips;
    std::span<const std::int32_t> choiceCombos;     // filled from the choice table, in this order
    std::span<const ComboEntries> openingEntries;   // appended when the dialog opens, before those
    std::span<const ModelOverlay> modelOverlays;    // the first that matches the model applies
    std::span<const ProtocolOverlay> protocolOverlays;
};

// A button that writes the dialog's settings to the printer.
struct SettingsUpdateButton {
    std::int32_t controlId = 0;
    std::uint8_t command = 0;
    bool withPlatenErr = false;  // the record carries the Platen Err field
    bool allConfigs = false;     // the record is followed by the 'q' field
};

// The dialog's configuration files.
struct SettingsFileKind {
    std::string_view extension;             // without the dot, e.g. "QV_BPP_CFG"
    std::string_view lastFileProfileValue;  // profile value with the last file's path
    std::uint8_t command = 0;               // command byte written and accepted
    bool allConfigs = false;                // record without Platen Err, followed by the 'q' field
    bool protocolInName = false;            // the default name carries the protocol
};

struct SettingsDialogDefinition {
    const ui::DialogTemplate* dialogTemplate = nullptr;
    SettingsTables tables;
    // The printer type the dialog edits, and the one it can switch to. 0: a dialog without
    // device-type and protocol combos, overlays or type switch (the EEPROM dialog).
    int ownDeviceType = 0;
    int otherDeviceType = 0;
    int defaultProtocol = 0;
    std::uint8_t protocolListParameter = 0;  // the '~' key read as the list of protocols
    unsigned resultMessage = 0;              // sent to the parent when the dialog ends
    bool ackTimeoutList = false;             // the Ack Timeout combo lists 0..2000 in steps of 50
    std::span<const std::int32_t> actionButtons;  // disabled while a file is saved or loaded
    std::span<const SettingsUpdateButton> updateButtons;
    SettingsFileKind file;
};
