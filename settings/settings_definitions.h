#pragma once
// The definitions of the three settings dialogs: template, tables and their own values.

#include "settings/settings_dialog_definition.h"

const SettingsDialogDefinition& BppSettingsDefinition();
const SettingsDialogDefinition& BtpSettingsDefinition();
const SettingsDialogDefinition& EepromSettingsDefinition();
