#include "app/status_texts.h"

#include "app/operation_states.h"
#include "comms/device_types.h"
#include "comms/printer_codes.h"
#include "comms/private_messages.h"

const char* AcknowledgementText(int state, bool ok, std::uint32_t replyCode)
{
    const char* acknowledged = nullptr;
    const char* refused = nullptr;
    switch (state) {
    case STATE_WAIT_TEST_PRINT:
        acknowledged = kStatusTagPrinted;
        refused = kStatusTagPrintFailed;
        break;
    case STATE_WAIT_ROM_OPTION:
    case STATE_WAIT_RFID_OPTION:
        acknowledged = kStatusSuccessful;
        refused = kStatusFailed;
        break;
    case STATE_WAIT_SET_CLOCK:
        acknowledged = kStatusClockSet;
        refused = kStatusClockSetFailed;
        break;
    default:
        return nullptr;
    }
    if (!ok)
        return kStatusNoResponse;
    return replyCode == REPLY_ACK ? acknowledged : refused;
}

const char* UnsupportedFeatureText(int deviceType)
{
    switch (deviceType) {
    case DEVICE_TYPE_BPP:
        return kStatusBppNotSupported;
    case DEVICE_TYPE_BTP:
        return kStatusBtpNotSupported;
    default:
        return kStatusDeviceNotSupported;
    }
}

const char* ConfigUpdatedText(int result)
{
    switch (result) {
    case kChildResultDone:
        return kStatusConfigUpdated;
    case kChildResultFailed:
        return kStatusConfigUpdateFailed;
    default:
        return kStatusConfigUpdateCancelled;
    }
}

const char* FirmwareLoadDoneText(int result)
{
    switch (result) {
    case kChildResultDone:
        return kStatusFirmwareLoaded;
    case kChildResultFailed:
        return kStatusFirmwareLoadFailed;
    default:
        return kStatusFirmwareLoadCancelled;
    }
}

const char* TitlePrefixFor(int deviceType)
{
    return deviceType == DEVICE_TYPE_BPP ? kTitlePrefixBpp : kTitlePrefixBtp;
}
