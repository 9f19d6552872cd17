// The shared inventory of known devices as search and watch use it: the
// options that choose the file, and the lines that tell what changed.
//
// Threading: as command.h.
#ifndef KELVO_CLI_INVENTORYFILE_H
#define KELVO_CLI_INVENTORYFILE_H

#include "command.h"
#include "watch.h"

#include <QJsonObject>
#include <QString>

#include <string>
#include <vector>

namespace kelvo::cli {

// --inventory FILE and --no-inventory.
void AddInventoryOptions(CommandLine &cl);

// The file the options choose: the window's inventory unless --inventory
// names another, "" with --no-inventory. kExitUsage, said, for both.
int ReadInventoryPath(const CommandLine &cl, Console &console, QString *path);

// The records as "search --format json" writes them.
std::vector<QJsonObject> FieldsOfAll(const std::vector<qvudps_module> &devices);

// "changed  02:4B:56:00:00:01  Boiler  10.0.0.6  ip 10.0.0.5 → 10.0.0.6", the
// texts shown as they are safe on a terminal.
std::string EventLine(const std::string &word, const QJsonObject &fields,
                      const std::vector<watch::Change> &changes);

} // namespace kelvo::cli

#endif
