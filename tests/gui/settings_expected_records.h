#pragma once
// The records that freshly opened settings dialogs write, field by field from the dialogs'
// tables (defaults, the default protocol's overlay, no model).

#include "settings_dialog_fixture.h"

#include <string>

namespace settings_test {

// Cut Line Offset +0, Black Mark Style +34, Region +13, Read and Write Power +350, the two
// check boxes off, the beeper on.
inline const std::string kEepromDefaultsRecord = std::string("\x7F|\x10+0" "\x7F|\x11+34" "\x7F|\x12+13" "\x7F|\x13+350"
                                                      "\x7F|\x14+350" "\x7F|\x15+0" "\x7F|\x16+0" "\x7F|\x17+1" "\x7F");

// Boarding-pass dialog at the user level: protocol Simple AEA with its overlay (Hold Wait
// 10), line settings without a selection (Baud Rate +0, Parity and Data Bits empty).
inline std::string BppOpeningRecord(bool engineering)
{
    std::string record = Field('~', 0x01, "+2") + Field('~', 0x02, "+10") + Field('~', 0x03, "+16") +
                         Field('~', 0x04, "+0") + Field('~', 0x05, "") + Field('~', 0x06, "") +
                         Field('~', 0x08, "+1") + Field('~', 0x09, "+0");
    if (engineering)
        record += Field('~', 0x17, "+96") + Field('~', 0x18, "-8") + Field('~', 0x19, "+16") +
                  Field('~', 0x1A, "-24") + Field('~', 0x13, "+3");
    record += Field('}', 0x53, "+800") + Field('}', 0x0A, "484443") + Field('}', 0x0C, "+72") +
              Field('}', 0x0D, "+16") + Field('}', 0x11, "+0") + Field('}', 0x16, "+0") + Field('}', 0x35, "+0") +
              Field('}', 0x36, "+800") + Field('}', 0x39, "+0") + Field('}', 0x3A, "+0") + Field('}', 0x07, "+5") +
              Field('}', 0x0E, "+1") + Field('}', 0x3B, "+1") + Field('}', 0x10, "+0") + Field('}', 0x3D, "+0") +
              Field('}', 0x12, "+0") + Field('}', 0x3C, "+1") + Field('}', 0x2B, "+0") + Field('}', 0x52, "+0") +
              Field('}', 0x05, "+999") + Field('}', 0x1F, "+10") + Field('}', 0x51, "+29") + kDel;
    return record;
}

// Bag-tag dialog: protocol SITA with its overlay (Ack Timeout 400, HDC CUTE2, Paper Type
// RICOH 130 LAB/LAM, Detection HOLE, Hold Wait 30, DF Buzzer 500).
inline std::string BtpOpeningRecord(bool engineering)
{
    std::string record = Field('~', 0x01, "+1") + Field('~', 0x02, "+10") + Field('~', 0x03, "+1") +
                         Field('~', 0x04, "+0") + Field('~', 0x05, "") + Field('~', 0x06, "") +
                         Field('~', 0x08, "+1") + Field('~', 0x09, "+400");
    if (engineering)
        record += Field('~', 0x0B, "+96") + Field('~', 0x0C, "+16") + Field('~', 0x0D, "+16") +
                  Field('~', 0x0E, "-48") + Field('~', 0x0F, "+3");
    record += Field('}', 0x0A, "4355544532") + Field('}', 0x02, "+32") + Field('}', 0x03, "+448") +
              Field('}', 0x04, "+4800") + Field('}', 0x05, "+999") + Field('}', 0x06, "+0") + Field('}', 0x07, "+5") +
              Field('}', 0x08, "+0") + Field('}', 0x09, "+0") +
              Field('}', 0x0B, "5249434F4820313330204C41422F4C414D") + Field('}', 0x0C, "+72") +
              Field('}', 0x0D, "+16") + Field('}', 0x0E, "+1") + Field('}', 0x0F, "+1") + Field('}', 0x10, "+0") +
              Field('}', 0x11, "+0") + Field('}', 0x12, "+0") + Field('}', 0x14, "+20") + Field('}', 0x15, "+1") +
              Field('}', 0x16, "+0") + Field('}', 0x52, "+0") + Field('}', 0x1F, "+30") + Field('}', 0x1D, "+0") +
              Field('}', 0x20, "+500") + Field('}', 0x2B, "+0") + Field('}', 0x54, "+0") + Field('}', 0x55, "+0") +
              Field('}', 0x2E, "+48") + Field('}', 0x2F, "+49") + Field('}', 0x30, "+0") + Field('}', 0x31, "+0") +
              Field('}', 0x33, "+2") + kDel;
    return record;
}

} // namespace settings_test
