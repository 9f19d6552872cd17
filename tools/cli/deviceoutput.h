// The device list formats of "search --format", shared with the window
// (devicelistformat.h), under the command line's names.
#ifndef KELVO_CLI_DEVICEOUTPUT_H
#define KELVO_CLI_DEVICEOUTPUT_H

#include "devicelistformat.h"

namespace kelvo::cli {

using host::DeviceHeader;
using host::DeviceRow;
using host::Format;
using host::FormatDevices;
using host::ParseFormat;
using host::SortedByMac;

} // namespace kelvo::cli

#endif
