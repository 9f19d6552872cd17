#include "devicelist.h"

#include "devicetext.h"
#include "qvtext.h"

#include <QCollator>
#include <QCoreApplication>
#include <algorithm>
#include <string_view>

namespace kelvo::ui {

QString RecordText(const char *field, std::size_t size) {
    return QString::fromUtf8(qv::field_text(field, size));
}

QStringList GridHeaders(int sortColumn) {
    QStringList headers;
    for (const char *caption : {QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "MAC"),
                                QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "Name"),
                                QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "IP"),
                                QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "Device type"),
                                QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "Port"),
                                QT_TRANSLATE_NOOP("kelvo::ui::TDeviceModel", "Parameters")})
        headers << QCoreApplication::translate("kelvo::ui::TDeviceModel", caption);
    if (sortColumn >= 0 && sortColumn <= 4)
        headers[sortColumn] = "* " + headers[sortColumn];
    return headers;
}

QStringList RowTexts(const qvudps_module &m) {
    return {RecordText(m.mac),       RecordText(m.name),      RecordText(m.ip),
            RecordText(m.type_name), QString::number(m.port), ParametersText(m)};
}

QString ParametersText(const qvudps_module &m) {
    return QString::fromStdString(kelvo::ParametersText(m));
}

QString DeviceKey(const qvudps_module &m) {
    return RecordText(m.mac) + "-" + RecordText(m.ip);
}

QString SortKey(const qvudps_module &m, int column) {
    const QString mac = RecordText(m.mac);
    switch (column) {
    case 0:
        return mac;
    case 1:
        return RecordText(m.name) + "ZZZZZZ" + mac;
    case 2: {
        // Numbers written with three digits so that .9 sorts before .10; an
        // address that does not read sorts as 0.0.0.0.
        std::uint8_t n[4] = {0, 0, 0, 0};
        qv::parse_dotted_ipv4(qv::field_text(m.ip), n);
        return QString("%1.%2.%3.%4")
                   .arg(static_cast<unsigned>(n[0]), 3, 10, QChar('0'))
                   .arg(static_cast<unsigned>(n[1]), 3, 10, QChar('0'))
                   .arg(static_cast<unsigned>(n[2]), 3, 10, QChar('0'))
                   .arg(static_cast<unsigned>(n[3]), 3, 10, QChar('0')) +
               mac;
    }
    case 3:
        return RecordText(m.type_name) + mac;
    case 4:
        return QString("%1").arg(static_cast<unsigned>(m.port), 10, 10, QChar('0')) + mac;
    default:
        return {};
    }
}

void SortDeviceTable(std::vector<DeviceEntry> &table, int count, int column, bool descending) {
    count = std::clamp(count, 0, static_cast<int>(table.size()));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QString, DeviceEntry>> keyed;
    keyed.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        keyed.emplace_back(table[i].record ? SortKey(*table[i].record, column) : QString(),
                           table[i]);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&collator, descending](const auto &l, const auto &r) {
                         const int order = collator.compare(l.first, r.first);
                         return descending ? order > 0 : order < 0;
                     });
    std::vector<DeviceEntry> sorted(table.size());
    for (int i = 0; i < count; ++i)
        sorted[i] = keyed[i].second;
    table.swap(sorted);
}

QStringList SettingsNotTaken(const qvudps_module &sent, const qvudps_module &now) {
    QStringList differ;
    const auto compare = [&differ](bool checked, bool same, const char *what) {
        if (checked && !same)
            differ << QCoreApplication::translate("kelvo::ui", what);
    };
    const bool addresses = !(sent.dhcp_supported && sent.dhcp_enabled);
    compare(addresses, RecordText(sent.ip) == RecordText(now.ip),
            QT_TRANSLATE_NOOP("kelvo::ui", "IP address"));
    compare(addresses, RecordText(sent.mask) == RecordText(now.mask),
            QT_TRANSLATE_NOOP("kelvo::ui", "mask"));
    compare(addresses, RecordText(sent.gateway) == RecordText(now.gateway),
            QT_TRANSLATE_NOOP("kelvo::ui", "gateway"));
    compare(sent.port != 0, sent.port == now.port, QT_TRANSLATE_NOOP("kelvo::ui", "port"));
    compare(sent.filter_supported,
            RecordText(sent.filter_ip) == RecordText(now.filter_ip) &&
                RecordText(sent.filter_mask) == RecordText(now.filter_mask),
            QT_TRANSLATE_NOOP("kelvo::ui", "IP access filter"));
    compare(sent.dhcp_supported, (sent.dhcp_enabled == 1) == (now.dhcp_enabled == 1),
            QT_TRANSLATE_NOOP("kelvo::ui", "DHCP"));
    compare(sent.tcp_setup_supported, (sent.tcp_setup_enabled == 1) == (now.tcp_setup_enabled == 1),
            QT_TRANSLATE_NOOP("kelvo::ui", "TCP setup"));
    compare(sent.nvt_supported, (sent.nvt_enabled == 1) == (now.nvt_enabled == 1),
            QT_TRANSLATE_NOOP("kelvo::ui", "NVT"));
    compare(sent.tea_supported, (sent.tea_enabled == 1) == (now.tea_enabled == 1),
            QT_TRANSLATE_NOOP("kelvo::ui", "TEA"));
    return differ;
}

bool SupportsConfigFiles(unsigned type) {
    return kelvo::SupportsConfigFiles(type);
}

PopupMenuState MenuStateFor(const qvudps_module *m) {
    PopupMenuState s;
    if (!m)
        return s;
    s.detail = true;
    s.web = m->web_supported != 0;
    s.defaults = m->defaults_supported != 0;
    s.download = SupportsConfigFiles(m->type);
    s.upload = s.download;
    s.tcpSetup = m->tcp_setup_supported != 0;
    return s;
}

QString SuggestedFileName(const qvudps_module &m) {
    return QString::fromStdString(kelvo::SafeFileStem(
        kelvo::SuggestedFileName(kelvo::FieldText(m.name), kelvo::FieldText(m.ip), m.port)));
}

std::uint16_t WebPortOf(const qvudps_module &m) {
    return m.web_port ? m.web_port : 80;
}

std::uint16_t TcpSetupPortOf(const qvudps_module &m) {
    return m.tcp_setup_port ? m.tcp_setup_port : 99;
}

} // namespace kelvo::ui
