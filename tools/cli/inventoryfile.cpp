#include "inventoryfile.h"

#include "textutil.h"

namespace kelvo::cli {

void AddInventoryOptions(CommandLine &cl) {
    cl.add({"inventory"},
           "Record the devices in the inventory FILE instead of the one shared with the "
           "window.",
           "FILE");
    cl.add({"no-inventory"}, "Do not record the devices in the inventory.");
}

int ReadInventoryPath(const CommandLine &cl, Console &console, QString *path) {
    if (cl.isSet("inventory") && cl.isSet("no-inventory")) {
        console.error("--inventory and --no-inventory exclude each other");
        return kExitUsage;
    }
    if (cl.isSet("no-inventory")) {
        path->clear();
        return kExitOk;
    }
    *path = cl.isSet("inventory") ? cl.parser.value("inventory") : watch::Inventory::DefaultPath();
    if (path->isEmpty()) {
        console.error("no data folder for the inventory; name a file with --inventory or use "
                      "--no-inventory");
        return kExitUsage;
    }
    return kExitOk;
}

std::vector<QJsonObject> FieldsOfAll(const std::vector<qvudps_module> &devices) {
    std::vector<QJsonObject> fields;
    fields.reserve(devices.size());
    for (const auto &m : devices)
        fields.push_back(watch::FieldsOf(m));
    return fields;
}

std::string EventLine(const std::string &word, const QJsonObject &fields,
                      const std::vector<watch::Change> &changes) {
    std::string line = word;
    line.resize(std::max<std::size_t>(line.size() + 2, 10), ' ');
    line += Visible(S(fields.value("mac").toString())) + "  " +
            Visible(S(fields.value("name").toString())) + "  " +
            Visible(S(fields.value("ip").toString()));
    for (std::size_t i = 0; i < changes.size(); ++i)
        line += (i == 0 ? "  " : "; ") + Visible(S(changes[i].field)) + " " +
                Visible(S(changes[i].before)) + " → " + Visible(S(changes[i].after));
    return line;
}

} // namespace kelvo::cli
