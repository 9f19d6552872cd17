// The device list of a search as a table, CSV or JSON: the one formatter of
// kelvo-cli's "search --format" and the window's "Save device list...".
//
// Threading: pure functions; any thread.
#ifndef KELVO_HOST_DEVICELISTFORMAT_H
#define KELVO_HOST_DEVICELISTFORMAT_H

#include "qvudps.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace kelvo::host {

enum class Format { Table, Csv, Json };

// "table", "csv" or "json".
bool ParseFormat(const std::string &text, Format *format);

// The records sorted by MAC address, the main window's first column.
std::vector<qvudps_module> SortedByMac(std::vector<qvudps_module> devices);

// The columns of the table and CSV: MAC, name, IP, mask, gateway, type code
// and text, firmware, port, web and TCP setup ports and the options summary.
std::vector<std::string> DeviceHeader();
std::vector<std::string> DeviceRow(const qvudps_module &m);

// One record as the JSON list writes it: the table's fields and the filter,
// capability, flag and raw fields.
QJsonObject DeviceJson(const qvudps_module &m);

// The whole list in `format`; JSON adds the filter, capability, flag and raw
// fields of every record.
std::string FormatDevices(const std::vector<qvudps_module> &devices, Format format);

} // namespace kelvo::host

#endif
