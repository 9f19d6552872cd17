#include "detaillogic.h"

#include "qvtext.h"
#include "tea.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace kelvo::ui {

std::optional<std::uint16_t> ParsePort(const QString &text, QString *error) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (ok && value >= 0 && value <= 65535)
        return static_cast<std::uint16_t>(value);
    if (error) {
        *error = ok ? QCoreApplication::translate("kelvo::ui", "'%1' is not a valid port number")
                          .arg(text)
                    : QCoreApplication::translate("kelvo::ui", "'%1' is not a valid integer value")
                          .arg(text);
    }
    return std::nullopt;
}

bool IsDottedIPv4(const QString &text) {
    std::uint8_t parts[4];
    return qv::parse_dotted_ipv4(text.toStdString(), parts);
}

bool AddressesValid(const DetailValues &v) {
    return InvalidAddressField(v).isEmpty();
}

QString InvalidAddressField(const DetailValues &v) {
    const std::pair<QString, const QString *> fields[] = {
        {QCoreApplication::translate("kelvo::ui", "IP address"), &v.ip},
        {QCoreApplication::translate("kelvo::ui", "Mask"), &v.mask},
        {QCoreApplication::translate("kelvo::ui", "Gateway"), &v.gateway},
        {QCoreApplication::translate("kelvo::ui", "IP filter value"), &v.filterIp},
        {QCoreApplication::translate("kelvo::ui", "IP filter mask"), &v.filterMask}};
    for (const auto &[caption, text] : fields) {
        if (!IsDottedIPv4(*text))
            return QCoreApplication::translate("kelvo::ui",
                                               "%1: \"%2\" is not an address like 192.168.1.10")
                .arg(caption, *text);
    }
    return {};
}

std::string CutUtf8(const std::string &text, std::size_t maxBytes) {
    return text.substr(0, qv::utf8_cut_length(text, maxBytes));
}

namespace {

template <std::size_t N>
void CopyField(char (&field)[N], const std::string &value, std::size_t max) {
    const std::string cut = CutUtf8(value, std::min(max, N - 1));
    std::memset(field, 0, N);
    std::memcpy(field, cut.data(), cut.size());
}

} // namespace

void WriteDetailValues(qvudps_module &record, const DetailValues &v, std::uint16_t port) {
    if (v.nameEdited)
        CopyField(record.name, v.name.toStdString(), kMaxNameBytes);
    CopyField(record.ip, v.ip.toStdString(), kMaxAddressBytes);
    CopyField(record.mask, v.mask.toStdString(), kMaxAddressBytes);
    CopyField(record.gateway, v.gateway.toStdString(), kMaxAddressBytes);
    CopyField(record.filter_ip, v.filterIp.toStdString(), kMaxAddressBytes);
    CopyField(record.filter_mask, v.filterMask.toStdString(), kMaxAddressBytes);
    record.port = port;
    record.nvt_enabled = v.nvt ? 1 : 0;
    record.tcp_setup_enabled = v.tcpSetup ? 1 : 0;
    record.dhcp_enabled = v.dhcp ? 1 : 0;
    record.tea_enabled = v.tea ? 1 : 0;
}

ConfirmText BuildConfirmText(const QString &ipText, const QString &networkText) {
    ConfirmText t;
    const QString question = QCoreApplication::translate(
        "kelvo::ui", "IP address %1 is out of your local network range %2 !\r\n\r\n"
                     "Please, choose 'No' and check address of your device or click on 'Yes' to "
                     "continue.\r\n\r\nDo you want to continue?");
    t.text = question.arg(ipText, networkText);
    // The address is found where the sentence puts it, which differs by
    // language; only a 192.168. address gets its own part coloured.
    const int at = static_cast<int>(question.indexOf("%1"));
    const int prefix = at < 0 ? -1 : static_cast<int>(ipText.indexOf("192.168."));
    if (prefix >= 0) {
        t.addressStart = at + prefix;
        t.addressLength = static_cast<int>(ipText.size()) - prefix;
        t.redStart = t.addressStart + 8;
        t.redLength = std::max(0, t.addressLength - 8);
    }
    if (!networkText.isEmpty()) {
        const int net = static_cast<int>(t.text.indexOf(networkText));
        if (net >= 0) {
            t.networkStart = net;
            t.networkLength = static_cast<int>(networkText.size());
        }
    }
    return t;
}

SetupKey SetupKeyFromCredentials(const QString &user, const QString &password) {
    const QByteArray u = user.toUtf8();
    QByteArray p = password.toUtf8();
    qvudps_tea_key key{};
    qvudps::setup_key_from_login(
        std::string_view(u.constData(), static_cast<std::size_t>(u.size())),
        std::string_view(p.constData(), static_cast<std::size_t>(p.size())), key);
    p.fill('\0');
    return {key.k0, key.k1, key.k2, key.k3};
}

} // namespace kelvo::ui
