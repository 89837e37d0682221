// The main dialog's option menus: what a chosen row sends, and which operation it starts.
#include "app/jetvane_dlg.h"

#include "app/operation_states.h"
#include "app/option_menus.h"
#include "app/resource.h"
#include "comms/device_types.h"
#include "ui/prompts.h"

void CJetvaneDlg::OnBnClickedPrintTestDocument()
{
    testDocumentPayload_ = kTestDocumentPayloadNone;
    testDocumentFilter_ = DEVICE_TYPE_ANY;

    // The menu opens at the button's top-right corner.
    const QPoint at = GetDlgItem(IDC_PRINT_TEST_DOCUMENT).GetWindowRect().topRight();
    const int id = ui::TrackPopupMenu(GetSafeHwnd(), at, BuildTestDocumentMenu(accessLevel_));
    const std::optional<TestDocumentChoice> choice = DecodeTestDocumentChoice(id);
    if (!choice)
        return;
    testDocumentPayload_ = choice->payload;
    testDocumentFilter_ = choice->filter;
    StartDeviceSearch(STATE_SEARCH_TEST_PRINT);
}

void CJetvaneDlg::OnBnClickedROMOptions()
{
    romOptionCommand_ = kRomOptionCommandNone;

    const QPoint at = GetDlgItem(IDC_ROM_OPTIONS).GetWindowRect().topRight();
    const int id = ui::TrackPopupMenu(GetSafeHwnd(), at, BuildRomOptionsMenu(accessLevel_));
    const std::optional<RomOptionsChoice> choice = DecodeRomOptionsChoice(id);
    if (!choice)
        return;
    if (choice->searchState == STATE_SEARCH_RFID_OPTION)
        rfidCommand_ = choice->command;
    else
        romOptionCommand_ = choice->command;
    StartDeviceSearch(choice->searchState);
}

void CJetvaneDlg::OnBnClickedEditEEPROMConfig()
{
    romOptionCommand_ = kEditEepromSettingsCommand;
    StartDeviceSearch(STATE_SEARCH_ROM_OPTION);
}
