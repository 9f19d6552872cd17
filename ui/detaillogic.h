// The detail dialog's reading and checking of what the user typed, and the
// writing of the accepted values into a device record, without a window.
//
// Threading: pure functions; any thread.
#ifndef KELVO_UI_DETAILLOGIC_H
#define KELVO_UI_DETAILLOGIC_H

#include "qvudps.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvo::ui {

// The longest device name the dialog writes, in UTF-8 bytes.
inline constexpr std::size_t kMaxNameBytes = 33;
// The longest dotted address text a record field holds.
inline constexpr std::size_t kMaxAddressBytes = 15;

// What the dialog's controls hold when "&Apply changes" is pressed.
struct DetailValues {
    QString name;
    QString ip;
    QString mask;
    QString gateway;
    QString filterIp;
    QString filterMask;
    bool nvt = false;
    bool tcpSetup = false;
    bool dhcp = false;
    bool tea = false;
    // False: the record keeps its name as it is.
    bool nameEdited = true;
};

// Reads the port text as a whole number 0 to 65535 (blanks around it are
// allowed). On failure returns nothing and sets `error` to the message shown.
std::optional<std::uint16_t> ParsePort(const QString &text, QString *error);

// True for four decimal numbers 0 to 255 joined by ".", nothing else.
bool IsDottedIPv4(const QString &text);

// True when all five address texts are dotted IPv4 addresses.
bool AddressesValid(const DetailValues &v);

// The first address field that is not a dotted IPv4 address, named by its
// caption with what was typed ("Gateway: \"10.0.0\" is not an address like
// 192.168.1.10"); empty when all five are.
QString InvalidAddressField(const DetailValues &v);

// `text` cut to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string &text, std::size_t maxBytes);

// Writes the values into the record: the name (when edited) as UTF-8 cut to
// 33 bytes, the
// addresses cut to 15 bytes, the port and the four switches.
void WriteDetailValues(qvudps_module &record, const DetailValues &v, std::uint16_t port);

// The confirmation dialog's text for a device outside the PC's network, with
// the runs that are shown in colour: the part of the device address after the
// first "192.168." in red, the whole device address and the network text in
// bold. Positions are in characters of `text`; a length of 0 means no run.
struct ConfirmText {
    QString text;
    int redStart = 0, redLength = 0;
    int addressStart = 0, addressLength = 0;
    int networkStart = 0, networkLength = 0;
};
ConfirmText BuildConfirmText(const QString &ipText, const QString &networkText);

// The four setup key words made from a user name and password: the MD5 digest
// of both texts in UTF-8, joined without separator, read as big-endian words
// from its end (k0 = bytes 12-15, ..., k3 = bytes 0-3).
struct SetupKey {
    std::uint32_t k0 = 0, k1 = 0, k2 = 0, k3 = 0;
};
SetupKey SetupKeyFromCredentials(const QString &user, const QString &password);

} // namespace kelvo::ui

#endif
