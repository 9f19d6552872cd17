#include "valuesoutput.h"

#include "devicetext.h"
#include "textutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace kelvo::cli {

namespace {

struct Column {
    const char *title; // table and CSV header
    const char *key;   // JSON member
};

// Rows of one list: `count` entries clamped to the list's capacity (a
// document may announce more entries than the structure can hold).
template <std::size_t Cap, std::size_t... N>
std::vector<std::vector<std::string>> Rows(int count, const char (&...fields)[Cap][N]) {
    std::vector<std::vector<std::string>> rows;
    const int n = std::clamp(count, 0, static_cast<int>(Cap));
    for (int i = 0; i < n; ++i)
        rows.push_back({FieldText(fields[i])...});
    return rows;
}

QJsonArray ToJson(const std::vector<Column> &columns,
                  const std::vector<std::vector<std::string>> &rows) {
    QJsonArray list;
    for (const auto &row : rows) {
        QJsonObject o;
        for (size_t i = 0; i < columns.size(); ++i)
            o[columns[i].key] = QString::fromStdString(row[i]);
        list.append(o);
    }
    return list;
}

std::vector<std::string> Titles(const std::vector<Column> &columns) {
    std::vector<std::string> t;
    for (const auto &c : columns)
        t.push_back(c.title);
    return t;
}

} // namespace

std::string FormatValues(const qvxml_values &v, const qvxml_values_counts &c, Format format) {
    const std::vector<Column> sensorCols = {
        {"ID", "id"},       {"Name", "name"}, {"Value", "value"}, {"Units", "units"},
        {"State", "state"}, {"Min", "min"},   {"Max", "max"}};
    const auto sensors =
        Rows(c.SenSet, v.SenSet_Entry_ID, v.SenSet_Entry_Name, v.SenSet_Entry_Value,
             v.SenSet_Entry_Units, v.SenSet_Entry_State, v.SenSet_Entry_Min, v.SenSet_Entry_Max);
    const std::vector<Column> inputCols = {{"ID", "id"},
                                           {"Name", "name"},
                                           {"Value", "value"},
                                           {"State", "state"},
                                           {"Alarm state", "alarm_state"},
                                           {"Counter", "counter"}};
    const auto inputs = Rows(c.BinaryInSet, v.BinaryInSet_Entry_ID, v.BinaryInSet_Entry_Name,
                             v.BinaryInSet_Entry_Value, v.BinaryInSet_Entry_State,
                             v.BinaryInSet_Entry_AlarmState, v.BinaryInSet_Entry_Cnt);
    const std::vector<Column> outputCols = {
        {"ID", "id"}, {"Name", "name"}, {"Value", "value"}, {"Type", "type"}, {"Mode", "mode"}};
    const auto outputs =
        Rows(c.BinaryOutSet, v.BinaryOutSet_Entry_ID, v.BinaryOutSet_Entry_Name,
             v.BinaryOutSet_Entry_Value, v.BinaryOutSet_Entry_Type, v.BinaryOutSet_Entry_Mode);

    if (format == Format::Json) {
        QJsonObject device;
        device["name"] = QString::fromStdString(FieldText(v.Agent_DeviceName));
        device["model"] = QString::fromStdString(FieldText(v.Agent_Model));
        device["mac"] = QString::fromStdString(FieldText(v.Agent_MAC));
        device["version"] = QString::fromStdString(FieldText(v.Agent_Version));
        device["date"] = QString::fromStdString(FieldText(v.Time_Date));
        device["time"] = QString::fromStdString(FieldText(v.Time_Time));
        QJsonObject o;
        o["device"] = device;
        o["sensors"] = ToJson(sensorCols, sensors);
        o["inputs"] = ToJson(inputCols, inputs);
        o["outputs"] = ToJson(outputCols, outputs);
        return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
    }
    auto section = [&](const std::vector<Column> &cols,
                       const std::vector<std::vector<std::string>> &rows) {
        return format == Format::Csv ? FormatCsv(Titles(cols), rows)
                                     : FormatTable(Titles(cols), rows);
    };
    std::string out = "Device: " + FieldText(v.Agent_DeviceName) + " (model " +
                      FieldText(v.Agent_Model) + ", MAC " + FieldText(v.Agent_MAC) + ", firmware " +
                      FieldText(v.Agent_Version) + ")\n";
    out += "\nSensors\n" + section(sensorCols, sensors);
    out += "\nInputs\n" + section(inputCols, inputs);
    out += "\nOutputs\n" + section(outputCols, outputs);
    return out;
}

} // namespace kelvo::cli
