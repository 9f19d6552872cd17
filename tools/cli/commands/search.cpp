// search: the devices that answer one search, as a table, CSV or JSON, or
// their differences from a saved list.
#include "devicecommand.h"
#include "inventoryfile.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <memory>

namespace kelvo::cli {

namespace {

class SearchCommand : public DeviceCommand {
public:
    SearchCommand()
        : DeviceCommand({"search", "list the devices that answer a search",
                         "List every device that answers one search.", "", 0,
                         "search takes no arguments"}) {}

private:
    void Declare(CommandLine &cl) override {
        cl.addFormat();
        cl.add({"compare"},
               "Print the differences from FILE (a saved search --format json): devices "
               "added, changed (field old → new) and missing; exit code 1 when there are any.",
               "FILE");
        AddInventoryOptions(cl);
    }

    int ReadOptions(CommandLine &cl, Context &ctx) override {
        if (!ReadFormat(cl, ctx.console, &format))
            return kExitUsage;
        explicitInventory = cl.isSet("inventory");
        if (const int rc = ReadInventoryPath(cl, ctx.console, &inventoryPath); rc != kExitOk)
            return rc;
        // Read before searching, so a wrong file costs no search.
        QString error;
        if (cl.isSet("compare") &&
            !watch::ReadDeviceList(cl.parser.value("compare"), &saved, &error)) {
            ctx.console.error(S(error));
            return kExitFailed;
        }
        compare = cl.isSet("compare");
        return kExitOk;
    }

    int Execute(CommandLine &, Context &ctx) override {
        std::vector<qvudps_module> devices;
        if (const int rc = SearchDevices(ctx, ctx.names, Listing::Visible, devices); rc != kExitOk)
            return rc;
        devices = SortedByMac(devices);
        const auto found = FieldsOfAll(devices);
        int rc = kExitOk;
        if (compare)
            rc = PrintComparison(ctx, watch::Compare(saved, found));
        else
            ctx.console.out << FormatDevices(devices, format);
        if (!inventoryPath.isEmpty() && !Record(ctx, found) && explicitInventory)
            rc = kExitFailed;
        // An incomplete list cannot tell a missing device.
        return ctx.dropped > 0 ? kExitDropped : rc;
    }

    int PrintComparison(Context &ctx, const watch::Comparison &c) {
        if (format == Format::Json) {
            QJsonArray added, changed, missing;
            for (const auto &fields : c.added)
                added.append(fields);
            for (const auto &event : c.changed) {
                auto line = watch::EventJson(event);
                line.remove("time");
                line.remove("event");
                changed.append(line);
            }
            for (const auto &fields : c.missing)
                missing.append(fields);
            ctx.console.out << QJsonDocument(QJsonObject{{"added", added},
                                                         {"changed", changed},
                                                         {"missing", missing}})
                                   .toJson(QJsonDocument::Indented)
                                   .toStdString();
        } else {
            for (const auto &fields : c.added)
                ctx.console.out << EventLine("added", fields, {}) << "\n";
            for (const auto &event : c.changed)
                ctx.console.out << EventLine("changed", event.fields, event.changes) << "\n";
            for (const auto &fields : c.missing)
                ctx.console.out << EventLine("missing", fields, {}) << "\n";
        }
        ctx.console.note(std::to_string(c.added.size()) + " added, " +
                         std::to_string(c.changed.size()) + " changed, " +
                         std::to_string(c.missing.size()) + " missing");
        return c.Empty() ? kExitOk : kExitFailed;
    }

    // False, said, when the inventory could not be read or written; the
    // list printed stands either way.
    bool Record(Context &ctx, const std::vector<QJsonObject> &found) {
        watch::Inventory inventory;
        QString error;
        if (!inventory.Load(inventoryPath, &error)) {
            ctx.console.error(S(error) + "; the devices are not recorded");
            return false;
        }
        inventory.Record(found, QDateTime::currentDateTimeUtc());
        if (!inventory.Save(inventoryPath, &error)) {
            ctx.console.error(S(error));
            return false;
        }
        return true;
    }

    Format format = Format::Table;
    bool compare = false;
    bool explicitInventory = false;
    std::vector<QJsonObject> saved;
    QString inventoryPath;
};

} // namespace

std::unique_ptr<Command> NewSearchCommand() {
    return std::make_unique<SearchCommand>();
}

} // namespace kelvo::cli
