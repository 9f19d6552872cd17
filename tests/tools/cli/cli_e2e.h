// The lab of kelvo-cli's end-to-end tests: a simulated fleet behind a real
// relay, the discovery and XML libraries and the session layer, all on
// loopback; and the helpers the tests of every command share.
#ifndef KELVO_CLI_TESTS_CLI_E2E_H
#define KELVO_CLI_TESTS_CLI_E2E_H

#include "cli_lab.h"
#include "test_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace kelvo::test {

using kelvo::devsim::DeviceConfig;
using kelvo::devsim::mixed_devices;
namespace fs = std::filesystem;

// The mixed fleet's devices by their place in the mix.
enum Mix { kThermometer = 0, kIoBox = 1, kSerial = 2, kHub = 3, kMeter = 4, kSecured = 5 };

inline std::vector<DeviceConfig> Pick(const std::string &firstIp,
                                      std::initializer_list<int> kinds) {
    const auto all = mixed_devices(6, true, firstIp);
    std::vector<DeviceConfig> out;
    for (int k : kinds)
        out.push_back(all[static_cast<size_t>(k)]);
    return out;
}

inline QJsonArray JsonArray(const std::string &text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).array();
}

inline QJsonObject ByMac(const QJsonArray &list, const std::string &mac) {
    for (const auto &v : list)
        if (v.toObject()["mac"].toString().toStdString() == mac)
            return v.toObject();
    return {};
}

// The document without the device's clock, which ticks between two reads.
inline std::string WithoutClock(std::string doc) {
    for (const char *tag : {"<Time>", "<Date>"}) {
        for (auto at = doc.find(tag); at != std::string::npos; at = doc.find(tag, at + 1)) {
            const auto end = doc.find('<', at + 6);
            if (end != std::string::npos && end - at - 6 <= 10)
                doc.replace(at + 6, end - at - 6, "");
        }
    }
    return doc;
}

// The same document but for the clock; no dump of two whole documents.
inline ::testing::AssertionResult SameDocument(const std::string &a, const std::string &b) {
    if (!a.empty() && WithoutClock(a) == WithoutClock(b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "documents differ (" << a.size() << " and " << b.size() << " bytes)";
}

// Permission bits of a file (-1 when it does not exist).
inline int Mode(const fs::path &p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

inline std::size_t Entries(const fs::path &dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

inline QString Q(const fs::path &p) {
    return QString::fromStdString(p.string());
}

inline QString Endpoint(const CliLab &lab, std::size_t i) {
    const auto d = lab.fleet->device(i);
    return QString::fromStdString(d.config.ip + ":" + std::to_string(d.http_port));
}

// Bodies of the POSTs the device with `mac` received so far.
inline std::vector<std::string> PostBodies(const CliLab &lab, const std::string &mac) {
    std::vector<std::string> out;
    for (const auto &line : lab.fleet->log()) {
        const auto o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (o["kind"] == "http" && o["method"] == "POST" &&
            o["mac"].toString().toStdString() == mac)
            out.push_back(o["body"].toString().toStdString());
    }
    return out;
}

} // namespace kelvo::test

#endif
