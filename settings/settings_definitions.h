#pragma once
// The settings dialogs as data: template, tables and the values in which they differ.
// Each definition is constant and lives for the whole run.

#include "settings/settings_dialog_definition.h"

const SettingsDialogDefinition& BppSettingsDefinition();
const SettingsDialogDefinition& BtpSettingsDefinition();
const SettingsDialogDefinition& EepromSettingsDefinition();
