// The meter dialect of some device models: Meter elements with Val children
// and Input elements directly under the root, appended to the values
// structure after the SAX pass.
#include "model/xml_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qvxml {
namespace {

template <size_t N> void set(char (&field)[N], const char *text) {
    std::snprintf(field, N, "%s", text);
}

long decimal(const char *text) {
    return text ? std::strtol(text, nullptr, 10) : 0;
}

const char *child_text(const qvxml_dom_node *node, const char *name) {
    const qvxml_dom_node *c = dom_child(node, name);
    return c ? dom_text(c) : nullptr;
}

bool is_meter_model(const char *model) {
    long m = std::strtol(model, nullptr, 10);
    return m == 45 || m == 55 || m == 57 || m == 58;
}

void meters(const qvxml_dom_node *root, qvxml_values *v, qvxml_values_counts *counts) {
    int exponent = 0;
    for (const qvxml_dom_node *m = dom_child(root, "Meter"); m; m = dom_next(m)) {
        const char *meter_name = child_text(m, "Name");
        if (!meter_name) {
            continue;
        }
        for (const qvxml_dom_node *val = dom_child(m, "Val"); val; val = dom_next(val)) {
            // The exponent carries over to later values, also past the capacity.
            const char *exp = child_text(val, "Exp");
            if (exp) {
                exponent = static_cast<int>(decimal(exp));
            }
            int s = counts->SenSet;
            if (s < 0 || s >= QVXML_LIST_MAX_SenSet) {
                continue;
            }
            const char *val_name = child_text(val, "Name");
            std::snprintf(v->SenSet_Entry_Name[s], sizeof v->SenSet_Entry_Name[s], "%s.%s",
                          meter_name, val_name ? val_name : "");
            const char *units = child_text(val, "Units");
            units = units ? units : child_text(val, "Unit");
            if (units) {
                set(v->SenSet_Entry_Units[s], units);
            }
            std::snprintf(v->SenSet_Entry_ID[s], sizeof v->SenSet_Entry_ID[s], "%i",
                          static_cast<int>(decimal(dom_attr(val, "id"))));
            if (exp) {
                set(v->SenSet_Entry_Exp[s], exp);
            }
            if (const char *value = child_text(val, "Value")) {
                set(v->SenSet_Entry_Value[s], value);
            }
            struct {
                const char *element;
                char *field;
                size_t size;
            } limits[] = {
                {"alarm_end", v->SenSet_Entry_Min[s], sizeof v->SenSet_Entry_Min[s]},
                {"alarm_start", v->SenSet_Entry_Max[s], sizeof v->SenSet_Entry_Max[s]},
                {"hyst", v->SenSet_Entry_Hyst[s], sizeof v->SenSet_Entry_Hyst[s]},
            };
            for (auto &l : limits) {
                if (const char *t = child_text(val, l.element)) {
                    fixed_point_text(std::strtoll(t, nullptr, 10), exponent, l.field, l.size);
                }
            }
            if (const char *state = child_text(val, "State")) {
                set(v->SenSet_Entry_State[s], state);
            }
            if (const char *cfg = child_text(val, "cfg")) {
                long c = decimal(cfg);
                set(v->SenSet_Entry_EmailSMS[s], (c & 8) ? "1" : "0");
                set(v->SenSet_Entry_SNMPTrap[s], (c & 4) ? "1" : "0");
            }
            set(v->SenSet_Entry_Calib[s], "0");
            ++counts->SenSet;
        }
    }
}

void inputs(const qvxml_dom_node *root, qvxml_values *v, qvxml_values_counts *counts) {
    for (const qvxml_dom_node *in = dom_child(root, "Input"); in; in = dom_next(in)) {
        int i = counts->BinaryInSet;
        if (i < 0 || i >= QVXML_LIST_MAX_BinaryInSet) {
            return;
        }
        if (const char *name = child_text(in, "Name")) {
            set(v->BinaryInSet_Entry_Name[i], name);
        }
        std::snprintf(v->BinaryInSet_Entry_ID[i], sizeof v->BinaryInSet_Entry_ID[i], "%i",
                      static_cast<int>(decimal(dom_attr(in, "id"))));
        if (const char *state = child_text(in, "State")) {
            set(v->BinaryInSet_Entry_State[i], state);
        }
        if (const char *value = child_text(in, "Value")) {
            set(v->BinaryInSet_Entry_Value[i], value);
        }
        if (const char *cfg = child_text(in, "cfg")) {
            long c = decimal(cfg);
            set(v->BinaryInSet_Entry_Alarm[i], !(c & 2) ? "2" : (c & 4) ? "1" : "0");
            set(v->BinaryInSet_Entry_EmailSMS[i], (c & 8) ? "1" : "0");
            set(v->BinaryInSet_Entry_SNMPTrap[i], (c & 16) ? "1" : "0");
        }
        ++counts->BinaryInSet;
    }
}

} // namespace

int fixed_point_text(long long value, int exponent, char *out, size_t capacity) {
    constexpr size_t longest = 31;
    // Anything beyond 40 places is cut at 31 characters anyway.
    exponent = exponent < -40 ? -40 : exponent > 40 ? 40 : exponent;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    std::string text = value < 0 ? "-" : "";
    if (exponent < 0) {
        size_t decimals = static_cast<size_t>(-exponent);
        if (decimals >= digits.size()) {
            text += "0.";
            text.append(decimals - digits.size(), '0');
            text += digits;
        } else {
            text.append(digits, 0, digits.size() - decimals);
            text += '.';
            text.append(digits, digits.size() - decimals, decimals);
        }
    } else {
        text += digits;
        text.append(static_cast<size_t>(exponent), '0');
    }
    if (text.size() > longest) {
        text.resize(longest);
    }
    if (!out || capacity == 0) {
        return static_cast<int>(text.size());
    }
    std::snprintf(out, capacity, "%s", text.c_str());
    return static_cast<int>(text.size());
}

void meter_dialect_pass(const char *text, size_t length, qvxml_values *values,
                        qvxml_values_counts *counts) {
    if (!text || length == 0 || !is_meter_model(values->Agent_Model)) {
        return;
    }
    qvxml_dom_node *root = dom_parse(text, length);
    if (!root) {
        return;
    }
    meters(root, values, counts);
    inputs(root, values, counts);
    dom_free(root);
}

} // namespace qvxml
