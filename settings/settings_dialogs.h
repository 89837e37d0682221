#pragma once
// The three settings dialogs: the settings engine over each one's definition.

#include "settings/settings_definitions.h"
#include "settings/settings_dialog.h"

// The default configuration of a boarding-pass printer.
class CJetvaneSettingsBPPDlg final : public CSettingsTableDlg {
public:
    explicit CJetvaneSettingsBPPDlg(ui::Dialog* parent) : CSettingsTableDlg(BppSettingsDefinition(), parent) {}
};

// The default configuration of a bag-tag printer.
class CJetvaneSettingsBTPDlg final : public CSettingsTableDlg {
public:
    explicit CJetvaneSettingsBTPDlg(ui::Dialog* parent) : CSettingsTableDlg(BtpSettingsDefinition(), parent) {}
};

// The settings a printer keeps in its EEPROM.
class CJetvaneEEPROMSettingsDlg final : public CSettingsTableDlg {
public:
    explicit CJetvaneEEPROMSettingsDlg(ui::Dialog* parent) : CSettingsTableDlg(EepromSettingsDefinition(), parent) {}
};
