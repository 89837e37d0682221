#pragma once
// Settings files named for either printer family, whose records name either family in their
// device-type field ('~' 0x03: +1 bag-tag, +16 boarding-pass) or none, before a printer of
// either family: Send Config File (attended, silent, the built program) and a settings
// dialog's Load From File (the dialog of that family) go by the same rule. A file fits only
// when its name is for the printer's family and its settings are not for the other one.

#include <string>
#include <vector>

namespace test_support {

struct SettingsFileFamilyCase {
    const char* name;     // the test's name for the row
    const char* fileName;
    std::string record;
    bool bagTagPrinter;   // the printer, or the dialog that loads the file
    // Why a silent run refuses the file, behind "Changing device type not supported: ";
    // nullptr: the file fits.
    const char* refusal;
};

inline const std::vector<SettingsFileFamilyCase>& SettingsFileFamilyCases()
{
    static const std::string boardingPass = "\x7F~\x01+2\x7F~\x03+16\x7F}\x0A" "414243\x7Fq\x7F";
    static const std::string bagTag = "\x7F~\x01+1\x7F}\x0A" "414243\x7F~\x03+1\x7Fq\x7F";
    static const std::string neither = "\x7F}\x0A" "414243\x7Fq\x7F";
    static const std::vector<SettingsFileFamilyCase> cases = {
        {"BagTagNameNoFamilyToBagTag", "desk.QV_BTP_CFG", neither, true, nullptr},
        {"BagTagNameBagTagToBagTag", "desk.QV_BTP_CFG", bagTag, true, nullptr},
        {"BagTagNameBoardingPassToBagTag", "desk.QV_BTP_CFG", boardingPass, true,
         "desk.QV_BTP_CFG is not for the BTP printer found (its name is for a BTP printer, its settings for a BPP "
         "printer)"},
        {"BagTagNameNoFamilyToBoardingPass", "desk.QV_BTP_CFG", neither, false,
         "desk.QV_BTP_CFG is not for the BPP printer found"},
        {"BagTagNameBagTagToBoardingPass", "desk.QV_BTP_CFG", bagTag, false,
         "desk.QV_BTP_CFG is not for the BPP printer found"},
        {"BagTagNameBoardingPassToBoardingPass", "desk.QV_BTP_CFG", boardingPass, false,
         "desk.QV_BTP_CFG is not for the BPP printer found (its name is for a BTP printer, its settings for a BPP "
         "printer)"},
        {"BoardingPassNameNoFamilyToBoardingPass", "gate.QV_BPP_CFG", neither, false, nullptr},
        {"BoardingPassNameBoardingPassToBoardingPass", "gate.QV_BPP_CFG", boardingPass, false, nullptr},
        {"BoardingPassNameBagTagToBoardingPass", "gate.QV_BPP_CFG", bagTag, false,
         "gate.QV_BPP_CFG is not for the BPP printer found (its name is for a BPP printer, its settings for a BTP "
         "printer)"},
        {"BoardingPassNameNoFamilyToBagTag", "gate.QV_BPP_CFG", neither, true,
         "gate.QV_BPP_CFG is not for the BTP printer found"},
        {"BoardingPassNameBoardingPassToBagTag", "gate.QV_BPP_CFG", boardingPass, true,
         "gate.QV_BPP_CFG is not for the BTP printer found"},
        {"BoardingPassNameBagTagToBagTag", "gate.QV_BPP_CFG", bagTag, true,
         "gate.QV_BPP_CFG is not for the BTP printer found (its name is for a BPP printer, its settings for a BTP "
         "printer)"},
        // Extensions are compared without regard to case; a refusal names the file as given.
        {"LowerCaseBoardingPassNameToBoardingPass", "gate.qv_bpp_cfg", boardingPass, false, nullptr},
        {"LowerCaseBagTagNameNoFamilyToBoardingPass", "desk.qv_btp_cfg", neither, false,
         "desk.qv_btp_cfg is not for the BPP printer found"},
        {"LowerCaseBagTagNameBoardingPassToBagTag", "desk.qv_btp_cfg", boardingPass, true,
         "desk.qv_btp_cfg is not for the BTP printer found (its name is for a BTP printer, its settings for a BPP "
         "printer)"},
    };
    return cases;
}

} // namespace test_support
