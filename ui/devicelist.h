// What the main window shows about the devices of a search, worked out
// without a window: the grid texts, the sort keys, the "new device" keys, the
// context menu's enabled entries and the suggested configuration file name.
//
// Threading: pure functions over records the caller owns; any thread.
#ifndef KELVO_UI_DEVICELIST_H
#define KELVO_UI_DEVICELIST_H

#include "qvudps.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace kelvo::ui {

// Devices the window lists; the discovery library's table is set to the
// same size.
inline constexpr int kMaxDevices = 10000;
inline constexpr int kColumnCount = 6;
// The grid shows one more: how the device stands ("New", "Changed",
// "Offline, last seen 14:03:22"), empty for a device as it was.
inline constexpr int kStateColumn = kColumnCount;
inline constexpr int kGridColumnCount = kColumnCount + 1;

// How a listed device stands in this run, in the order of watch::State.
enum class RowState : std::int32_t { Normal, New, Changed, Offline };

// One row of the device table. The record is the window's copy of what the
// device last answered, or the running search's.
struct DeviceEntry {
    // Marked as new or changed: not in the previous search as it is now.
    std::int32_t isNew = 0;
    qvudps_module *record = nullptr;
    RowState state = RowState::Normal;
    // Not among the last search's answers: nothing may be sent to it.
    bool absent = false;
};

// A record's text field, read only up to its NUL and never past the field;
// names travel as UTF-8.
QString RecordText(const char *field, std::size_t size);
template <std::size_t N> QString RecordText(const char (&field)[N]) {
    return RecordText(field, N);
}

// The six header texts, the column `sortColumn` (0 to 4) marked with "* ".
QStringList GridHeaders(int sortColumn);

// The six cell texts of a device row.
QStringList RowTexts(const qvudps_module &m);

// "TCP setup=Y, TEA=N, DHCP=Y" and so on, for the capabilities the device has.
QString ParametersText(const qvudps_module &m);

// The key by which a device counts as seen: "<mac>-<ip>".
QString DeviceKey(const qvudps_module &m);

// The text key of a device for sorting by `column`; empty for columns the
// table cannot be sorted by.
QString SortKey(const qvudps_module &m, int column);

// Orders the first `count` entries by their keys for `column`, compared
// without regard to case in the user's locale, ascending or descending;
// entries with equal keys keep their order.
void SortDeviceTable(std::vector<DeviceEntry> &table, int count, int column,
                     bool descending = false);

// The settings a device did not take: readable names of the fields in which
// what it reports after a setup (`now`) differs from what it was sent
// (`sent`). Only what the device supports is compared; its addresses not when
// DHCP was switched on, its port not when none was sent.
QStringList SettingsNotTaken(const qvudps_module &sent, const qvudps_module &now);

// Devices whose configuration can be downloaded and uploaded, by type code.
bool SupportsConfigFiles(unsigned type);

// Enabled states of the context menu's action entries.
struct PopupMenuState {
    bool detail = false;
    bool web = false;
    bool tcpSetup = false;
    bool download = false;
    bool upload = false;
    bool defaults = false;
    bool operator==(const PopupMenuState &) const = default;
};
// The states for the device under the clicked row, or for no device (null).
PopupMenuState MenuStateFor(const qvudps_module *m);

// The file name offered for a device's configuration: its name, or its address
// with "." turned into "_" followed by "_" and the port (192_168_1_99_80).
QString SuggestedFileName(const qvudps_module &m);

// The port a device's web page or terminal is opened on: the record's value,
// or the usual one (80, 99) when the record says 0.
std::uint16_t WebPortOf(const qvudps_module &m);
std::uint16_t TcpSetupPortOf(const qvudps_module &m);

} // namespace kelvo::ui

#endif
