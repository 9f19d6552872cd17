// watch: a search every interval, one line per device that appears, changes,
// goes silent or comes back.
#include "devicecommand.h"
#include "inventoryfile.h"
#include "stopsignal.h"
#include "textutil.h"

#include "kelvohost.h"

#include <QJsonDocument>

#include <chrono>
#include <memory>

namespace kelvo::cli {

namespace {

using Clock = std::chrono::steady_clock;

class WatchCommand : public DeviceCommand {
public:
    WatchCommand()
        : DeviceCommand(
              {"watch", "report devices that appear, change or go silent, until stopped",
               "Search every interval and print one line per event: a device that appears "
               "(not known from the inventory), changes (name, address, DHCP, type, firmware "
               "or ports), is gone (silent for 3 searches in a row) or is back. Devices known "
               "from the inventory are not new. Runs until SIGINT or SIGTERM (Ctrl+C), which "
               "end it with exit code 0.",
               "", 0, "watch takes no arguments"}) {}

private:
    void Declare(CommandLine &cl) override {
        cl.add({"interval"}, "Search every SECONDS seconds (5 to 600, default 15).", "SECONDS");
        cl.add({"format"}, "Output format: table (default) or json, one object per line.",
               "FORMAT");
        cl.add({"until-gone"}, "Exit (code 0) when the device MAC is gone.", "MAC");
        AddInventoryOptions(cl);
    }

    int ReadOptions(CommandLine &cl, Context &ctx) override {
        if (cl.isSet("interval") && !ParseNumber(cl.value("interval"), 5, 600, &interval)) {
            ctx.console.error("--interval must be 5 to 600 seconds");
            return kExitUsage;
        }
        if (cl.isSet("format") && cl.value("format") != "table" && cl.value("format") != "json") {
            ctx.console.error("--format must be table or json");
            return kExitUsage;
        }
        json = cl.value("format") == "json";
        if (cl.isSet("until-gone") && !ParseMac(cl.value("until-gone"), &untilGone)) {
            ctx.console.error("--until-gone needs a MAC address such as 02:4B:56:00:00:01");
            return kExitUsage;
        }
        return ReadInventoryPath(cl, ctx.console, &inventoryPath);
    }

    int Execute(CommandLine &, Context &ctx) override {
        watch::Inventory inventory;
        QString error;
        if (!inventoryPath.isEmpty() && !inventory.Load(inventoryPath, &error)) {
            ctx.console.error(S(error) + " (--no-inventory watches without it)");
            return kExitFailed;
        }
        std::string why;
        StopSignal stop;
        if (!stop.Start(&why)) {
            ctx.console.error(why);
            return kExitFailed;
        }
        tracker.Seed(inventory);
        for (auto next = Clock::now();;) {
            const auto started = Clock::now();
            if (const int rc = Refresh(ctx, inventory); rc != kExitOk)
                return rc == kStopped ? kExitOk : rc;
            // A search that outlasts the interval skips the refreshes it
            // overlapped: they are not made up afterwards.
            while (next <= started)
                next += std::chrono::seconds(interval);
            while (next <= Clock::now())
                next += std::chrono::seconds(interval);
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
            if (stop.Wait(static_cast<int>(wait.count())))
                return kExitOk;
        }
    }

    // One search and its events; kStopped once --until-gone's device is gone.
    int Refresh(Context &ctx, watch::Inventory &inventory) {
        std::vector<qvudps_module> devices;
        if (!SearchQuietly(ctx, devices))
            return kExitOk;
        const auto found = FieldsOfAll(devices);
        const auto now = QDateTime::currentDateTimeUtc();
        bool gone = false;
        for (const auto &event : tracker.Search(found, now)) {
            if (json)
                ctx.console.out << QJsonDocument(watch::EventJson(event))
                                       .toJson(QJsonDocument::Compact)
                                       .toStdString();
            else
                ctx.console.out << S(event.time.toString(Qt::ISODate)) << "  "
                                << EventLine(S(watch::EventName(event.kind)), event.fields,
                                             event.changes);
            ctx.console.out << std::endl; // a pipe or the journal sees each event at once
            gone = gone || (event.kind == watch::EventKind::Gone && S(event.mac) == untilGone);
        }
        if (!inventoryPath.isEmpty()) {
            inventory.Record(found, now);
            QString error;
            const bool saved = inventory.Save(inventoryPath, &error);
            // Said once, and again only when the reason changes.
            if (!saved && error != saveError)
                ctx.console.error(S(error));
            saveError = saved ? QString() : error;
        }
        return gone ? kStopped : kExitOk;
    }

    // A search that says a lost relay or a failing search once, not on every
    // refresh, and once that it works again; false when it failed. A refresh
    // that could not search counts as no search: nobody goes missing by it.
    bool SearchQuietly(Context &ctx, std::vector<qvudps_module> &devices) {
        std::string failure;
        const Route &r = ctx.route;
        if (!r.direct) {
            const auto probe = host::ProbeRelay(r.relayAddress, r.relayPort);
            if (probe.presence != host::RelayPresence::Answering)
                failure = host::NoRelayText(r.relayAddress, r.relayPort, probe.text);
        }
        std::vector<qvudps_module> found;
        if (failure.empty() && !StartDiscovery(r, &failure, ctx.env.capacity))
            failure = "cannot search: " + failure;
        // Progress of every refresh would flood a log; errors still show.
        Console quiet(ctx.console.out, ctx.console.err, false, true);
        if (failure.empty() && !Search(ctx.names, quiet, found, &failure))
            failure = "search failed: " + failure;
        if (!failure.empty()) {
            if (!failing)
                ctx.console.error(failure + "; watching goes on and resumes when it works again");
            failing = true;
            return false;
        }
        if (failing)
            ctx.console.note("searching works again; watching resumes");
        failing = false;
        devices = ctx.all ? found : WithoutFiltered(found);
        return true;
    }

    static constexpr int kStopped = -1;
    int interval = 15;
    bool json = false;
    std::string untilGone;
    QString inventoryPath;
    watch::Tracker tracker;
    bool failing = false; // the last refresh could not search
    QString saveError;
};

} // namespace

std::unique_ptr<Command> NewWatchCommand() {
    return std::make_unique<WatchCommand>();
}

} // namespace kelvo::cli
