#include "app/main_dialog_template.h"

#include "app/resource.h"
#include "ui/program_name.h"

namespace {

using ui::ControlKind;
using ui::ControlTemplate;
namespace style = ui::style;

constexpr ControlTemplate kMainDialogControls[] = {
    {ControlKind::GroupBox, ui::IDC_STATIC, "", {7, 7, 199, 131}, 0},
    {ControlKind::StaticText, ui::IDC_STATIC, "Port", {11, 16, 30, 10}, 0},
    {ControlKind::ComboDropDown, IDC_PORT, "", {36, 15, 69, 204}, style::kUpperCase | style::kVScroll | style::kTabStop},
    {ControlKind::StaticText, IDC_STATUS, "", {110, 16, 90, 39}, style::kCenter},
    {ControlKind::PushButton, IDC_EDIT_DEFAULT_CONFIG, "&Edit Default Config", {11, 67, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_SEND_CONFIG_FILE, "Send &Config File", {108, 67, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_EDIT_EEPROM_CONFIG, "Edit EEPROM Con&fig", {11, 84, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_PRINT_TEST_DOCUMENT, "&Print Test Document", {108, 84, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_ROM_OPTIONS, "&ROM Options", {11, 102, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_LOAD_FIRMWARE, "&Load Firmware", {108, 102, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_SET_CLOCK, "&Set Clock", {11, 119, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, IDC_EXIT, "E&xit", {108, 119, 94, 14}, style::kTabStop},
};

} // namespace

const ui::DialogTemplate& MainDialogTemplate()
{
    static const ui::DialogTemplate kTemplate{
        ui::kProgramName,
        213,
        145,
        ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox,
        {},
        kMainDialogControls,
    };
    return kTemplate;
}
