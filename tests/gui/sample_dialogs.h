#pragma once
// Sample dialogs for the window-layer tests: a small port-and-buttons dialog laid out in
// dialog units like a Windows resource, and a progress window; the dialog class records
// what its handlers saw.

#include "ui/dialog.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace gui_test {

inline constexpr int kPortComboId = 1008;
inline constexpr int kStatusId = 1004;
inline constexpr int kEditButtonId = 1001;
inline constexpr int kExitButtonId = 1002;
inline constexpr int kSendButtonId = 1003;
inline constexpr int kDisabledButtonId = 1005;
inline constexpr int kKeepCheckId = 1020;
inline constexpr int kHiddenEditId = 1021;
inline constexpr int kChoiceComboId = 1022;
inline constexpr int kProgressId = 1048;
inline constexpr int kCancelButtonId = 1002;

inline constexpr unsigned kValueMessage = 0x4F0;
inline constexpr unsigned kTextMessage = 0x4F1;
inline constexpr ui::LResult kValueMessageResult = 77;

using ui::ControlKind;
namespace style = ui::style;

inline constexpr ui::ControlTemplate kSampleControls[] = {
    {ControlKind::GroupBox, ui::IDC_STATIC, "", {7, 7, 199, 131}},
    {ControlKind::StaticText, ui::IDC_STATIC, "&Port", {11, 16, 22, 10}},
    {ControlKind::ComboDropDown, kPortComboId, "", {36, 15, 69, 204}, style::kTabStop | style::kUpperCase | style::kVScroll},
    {ControlKind::StaticText, kStatusId, "Ready\nsecond line", {110, 16, 90, 39}, style::kCenter},
    {ControlKind::PushButton, kEditButtonId, "&Edit Default Config", {11, 67, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, kSendButtonId, "Send &Config File", {108, 67, 94, 14}, style::kTabStop},
    {ControlKind::PushButton, kDisabledButtonId, "&Print Test Document", {11, 84, 94, 14}, style::kTabStop | style::kDisabled},
    {ControlKind::CheckBox, kKeepCheckId, "&Keep && Reuse", {108, 86, 94, 10}, style::kTabStop},
    {ControlKind::Edit, kHiddenEditId, "hidden", {11, 102, 94, 14}, style::kTabStop | style::kHidden},
    {ControlKind::ComboDropList, kChoiceComboId, "", {108, 102, 94, 60}, style::kTabStop},
    {ControlKind::PushButton, kExitButtonId, "E&xit", {108, 119, 94, 14}, style::kTabStop},
};

inline constexpr ui::DialogTemplate kSampleDialog{
    "Sample Port Dialog", 213, 145, ui::dialog_style::kCentered | ui::dialog_style::kMinimizeBox, {}, kSampleControls};

inline constexpr ui::ControlTemplate kProgressControls[] = {
    {ControlKind::GroupBox, ui::IDC_STATIC, "", {7, 7, 337, 40}},
    {ControlKind::StaticText, kStatusId, "Loading", {11, 15, 327, 12}, style::kCenter},
    {ControlKind::ProgressBar, kProgressId, "", {11, 29, 328, 12}, style::kBorder},
    {ControlKind::DefPushButton, kCancelButtonId, "&Cancel", {277, 50, 67, 14}, style::kTabStop},
};

inline constexpr ui::DialogTemplate kProgressDialog{
    "Sample Progress", 351, 71, ui::dialog_style::kCentered | ui::dialog_style::kVisible, {}, kProgressControls};

struct ReceivedMessage {
    unsigned id = 0;
    ui::WParam wParam = 0;
    ui::LParam lParam = 0;
    std::string text;  // the posted text, for kTextMessage
    std::thread::id thread;
};

class SampleDialog : public ui::Dialog {
public:
    explicit SampleDialog(const ui::DialogTemplate& dialogTemplate = kSampleDialog, Dialog* parent = nullptr)
        : Dialog(dialogTemplate, parent)
    {
        MapCommand(kEditButtonId, &SampleDialog::OnEditClicked);
        MapCommand(kChoiceComboId, ui::CBN_SELCHANGE, &SampleDialog::OnChoiceChanged);
        MapMessage(kValueMessage, &SampleDialog::OnValueMessage);
        MapMessage(kTextMessage, &SampleDialog::OnTextMessage);
    }

    bool OnInitDialog() override
    {
        ++initCount;
        if (onInit)
            onInit(*this);
        return true;
    }
    void OnOK() override
    {
        ++okCount;
        Dialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCount;
        Dialog::OnCancel();
    }

    int initCount = 0;
    int okCount = 0;
    int cancelCount = 0;
    int editClicks = 0;
    int choiceChanges = 0;
    std::vector<ReceivedMessage> received;
    std::function<void(SampleDialog&)> onInit;
    std::function<void(SampleDialog&)> onValueMessage;

private:
    void OnEditClicked() { ++editClicks; }
    void OnChoiceChanged() { ++choiceChanges; }
    ui::LResult OnValueMessage(ui::WParam wParam, ui::LParam lParam)
    {
        received.push_back({kValueMessage, wParam, lParam, {}, std::this_thread::get_id()});
        if (onValueMessage)
            onValueMessage(*this);
        return kValueMessageResult;
    }
    ui::LResult OnTextMessage(ui::WParam wParam, ui::LParam lParam)
    {
        received.push_back({kTextMessage, wParam, lParam, platform::MessageText(lParam), std::this_thread::get_id()});
        return 0;
    }
};

} // namespace gui_test
