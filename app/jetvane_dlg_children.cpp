// The main dialog's child dialogs: opening the settings dialogs, their end and the type
// switch, the firmware dialog's end, and closing the children.
#include "app/jetvane_dlg.h"

// ---- settings dialogs

bool CJetvaneDlg::ShowDeviceSettingsDialog(int /*deviceType*/, bool /*restricted*/)
{
    CloseSettingsDialog();
    return false;
}

void CJetvaneDlg::CloseSettingsDialog() {}

// ---- firmware dialog

void CJetvaneDlg::CloseFirmwareDialog() {}
