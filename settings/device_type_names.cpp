#include "settings/device_type_names.h"

#include "comms/device_types.h"

namespace {

constexpr DeviceTypeEntry kDeviceTypeNames[] = {
    {DEVICE_TYPE_BTP, kDeviceTypeNameBtp},
    {DEVICE_TYPE_BPP, kDeviceTypeNameBpp},
};

} // namespace

std::span<const DeviceTypeEntry> DeviceTypeNames()
{
    return kDeviceTypeNames;
}
