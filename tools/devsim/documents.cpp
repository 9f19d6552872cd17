#include "documents.h"
#include "qvtext.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>

namespace kelvo::devsim {

Node &Node::add(const std::string &child, const std::string &value) {
    kids.push_back(Node{child, value, {}});
    return kids.back();
}

Node &Node::add(const std::string &child, Leaves leaves) {
    Node &n = add(child);
    n.add_all(leaves);
    return n;
}

void Node::add_all(Leaves leaves) {
    for (const auto &[leaf, value] : leaves)
        kids.push_back(Node{leaf, value, {}});
}

Node *Node::child(const std::string &c) {
    for (auto &k : kids)
        if (k.name == c)
            return &k;
    return nullptr;
}

const Node *Node::child(const std::string &c) const {
    for (const auto &k : kids)
        if (k.name == c)
            return &k;
    return nullptr;
}

Node *Node::entry(const std::string &idx) {
    for (auto &k : kids) {
        if (k.name != "Entry")
            continue;
        const Node *i = k.child("Idx");
        if (i && i->text == idx)
            return &k;
    }
    return nullptr;
}

bool is_meter_model(const std::string &model) {
    const int m = std::atoi(model.c_str());
    return m == 45 || m == 55 || m == 57 || m == 58;
}

namespace {

struct SensorKind {
    const char *name;
    const char *units;
    const char *value;
    const char *min;
    const char *max;
};

constexpr SensorKind kSensors[] = {
    {"Temperature", "C", "21.5", "5.0", "35.0"},
    {"Humidity", "%", "45.0", "20.0", "80.0"},
    {"Supply voltage", "V", "12.1", "10.5", "14.5"},
    {"Pressure", "hPa", "1013.2", "950.0", "1050.0"},
    {"Current", "A", "0.8", "0.0", "10.0"},
};

std::string num(unsigned n) {
    return std::to_string(n);
}

void add_dest(Node &parent) {
    Node &dest = parent.add("Dest");
    for (const char *f : {"Snmp1", "Snmp2", "Snmp3", "Snmp4", "Mail1", "Mail2", "Delay", "E"})
        dest.add(f, "0");
}

std::string capped(unsigned n) {
    return num(n > kMaxListEntries ? kMaxListEntries : n);
}

} // namespace

Node build_setup_tree(const DeviceConfig &c) {
    const unsigned inputs = c.inputs > kMaxListEntries ? kMaxListEntries : c.inputs;
    const unsigned outputs = c.outputs > kMaxListEntries ? kMaxListEntries : c.outputs;
    const unsigned sensors = c.sensors > kMaxListEntries ? kMaxListEntries : c.sensors;
    (void)capped;

    Node root{"Root", "", {}};
    root.add("Agent"); // written from the settings
    root.add("Status").add("NtpState", "0");
    root.add("TemperRange", {{"Min", "-40"}, {"Max", "125"}});

    Node &in = root.add("BinaryInSet");
    for (unsigned i = 1; i <= inputs; ++i) {
        Node &e = in.add("Entry", {{"Idx", num(i)},
                                   {"ID", num(100 + i)},
                                   {"Name", "Input " + num(i)},
                                   {"NameOpen", "Open"},
                                   {"NameClose", "Closed"},
                                   {"Cnt", "0"},
                                   {"Value", i % 2 ? "0" : "1"},
                                   {"AlarmState", "0"},
                                   {"Alarm", "2"},
                                   {"Color", "1"},
                                   {"State", "0"},
                                   {"Mask1", "0"},
                                   {"Mask2", "0"}});
        add_dest(e);
        e.add("SNMPTrap", "0");
        e.add("EmailSMS", "0");
    }
    in.add("AlarmAction", "0");

    Node &out = root.add("BinaryOutSet");
    for (unsigned i = 1; i <= outputs; ++i) {
        out.add("Entry", {{"Idx", num(i)},
                          {"ID", num(200 + i)},
                          {"Name", "Relay " + num(i)},
                          {"NameOpen", "Off"},
                          {"NameClose", "On"},
                          {"Value", "0"},
                          {"Type", "1"},
                          {"Mode", "0"},
                          {"CondInputID", "0"},
                          {"Trigger", "0"}});
    }

    Node &sen = root.add("SenSet");
    for (unsigned i = 1; i <= sensors; ++i) {
        const SensorKind &k = kSensors[(i - 1) % std::size(kSensors)];
        Node &e = sen.add("Entry", {{"Idx", num(i)},
                                    {"Name", k.name},
                                    {"ID", num(300 + i)},
                                    {"Units", k.units},
                                    {"Min", k.min},
                                    {"Max", k.max},
                                    {"Hyst", "0.5"},
                                    {"E", "1"},
                                    {"Value", k.value},
                                    {"Exp", "-1"},
                                    {"SNMPTrap", "0"},
                                    {"EmailSMS", "0"},
                                    {"Color", "1"},
                                    {"State", "1"},
                                    {"Calib", "0.0"}});
        add_dest(e);
    }

    Node &ranges = root.add("TempRangeSet");
    for (unsigned i = 1; i <= sensors; ++i) {
        ranges.add("Entry", {{"Idx", num(i)}, {"Min", "-40"}, {"Max", "125"}, {"Alarm", "0"}});
    }

    root.add("AlarmSet", {{"Subj", "Alarm on $name"}, {"Body", "$sensor is $value"}});

    Node &groups = root.add("GroupSet");
    for (unsigned i = 1; i <= 2; ++i) {
        Node &e = groups.add(
            "Entry",
            {{"Idx", num(i)}, {"Name", "Group " + num(i)}, {"Out", "0"}, {"OutState", "0"}});
        e.add("Alarm", {{"Subj", "Group alarm"}, {"Body", "Group " + num(i) + " in alarm"}});
        add_dest(e);
    }

    Node &traps = root.add("SnmpTraps");
    for (unsigned i = 1; i <= 4; ++i) {
        traps.add("Entry", {{"Idx", num(i)},
                            {"Community", "public"},
                            {"IPaddr", i == 1 ? "127.0.0.1" : "0.0.0.0"},
                            {"Port", "162"},
                            {"E", i == 1 ? "1" : "0"}});
    }

    Node &mail = root.add("MailDest");
    for (unsigned i = 1; i <= 4; ++i) {
        mail.add("Entry", {{"Idx", num(i)},
                           {"To", i == 1 ? "service@kelvo.example" : ""},
                           {"Cc", ""},
                           {"E", i == 1 ? "1" : "0"}});
    }

    root.add("Counters", {{"E", "0"}, {"Int", "60"}});
    root.add("BinSetG").add("AlarmDest", "0");
    root.add("Global",
             {{"Units", "C"}, {"Logo", "kelvo.gif"}, {"QVSec", "0"}, {"AlarmDelay", "0"}});

    root.add("Network"); // written from the settings

    root.add("Email", {{"Server", "mail.kelvo.example"},
                       {"Port", "25"},
                       {"From", "device@kelvo.example"},
                       {"To", "service@kelvo.example"},
                       {"Subject", "Device report"},
                       {"Auth", "0"},
                       {"Name", ""},
                       {"Pswd", ""},
                       {"State", "0"},
                       {"Message", ""}});

    root.add("Time", {{"SNTPServer", "pool.ntp.example"},
                      {"TimeShift", "0"},
                      {"Date", ""},
                      {"Time", ""},
                      {"Port", "123"},
                      {"Period", "60"}});

    root.add("SMS", {{"E", "0"},
                     {"Module", "0"},
                     {"CenterNmr", ""},
                     {"Recp1", ""},
                     {"Recp2", ""},
                     {"RingOut", "0"},
                     {"State", "0"},
                     {"Message", ""}});

    Node &logger =
        root.add("DataLogger", {{"StorePeriod", "60"}, {"LogCapacity", "4096"}, {"LogBins", "1"}});
    logger.add("Report", {{"E", "0"}, {"To", ""}, {"Period", "1440"}, {"Erase", "0"}});

    root.add("HTTPIPFilter", {{"IPAddr", "0.0.0.0"}, {"Mask", "0.0.0.0"}});
    root.add("SNMPIPFilter", {{"IPAddr", "0.0.0.0"}, {"Mask", "0.0.0.0"}});

    Node &access = root.add("SnmpAccess");
    for (unsigned i = 1; i <= 2; ++i) {
        access.add("Entry", {{"Idx", num(i)},
                             {"Community", i == 1 ? "public" : "private"},
                             {"R", "1"},
                             {"W", i == 1 ? "0" : "1"},
                             {"E", "1"}});
    }

    root.add("MIBIISysGroup",
             {{"SysContact", "lab@kelvo.example"}, {"SysName", ""}, {"SysLocation", "Device lab"}});

    Node &users = root.add("User");
    for (unsigned i = 1; i <= 2; ++i) {
        users.add("Entry",
                  {{"Idx", num(i)},
                   {"Name", i == 1 ? (c.http_user.empty() ? "admin" : c.http_user) : "guest"},
                   {"Pswd", i == 1 ? c.http_password : ""}});
    }
    root.add("Info", "1");
    return root;
}

namespace {

std::string firmware(const DeviceConfig &c) {
    return num(c.fw_major) + "." + num(c.fw_minor) + "." + num(c.fw_build);
}

std::string title_of(const DeviceConfig &c) {
    if (!c.title.empty())
        return c.title;
    return "Kelvo lab device, model " + c.model;
}

void fill_agent(Node &agent, const DeviceConfig &c) {
    agent.kids.clear();
    agent.add_all({{"Version", firmware(c)},
                   {"XmlVer", "1.3"},
                   {"DeviceName", c.name},
                   {"Model", c.model},
                   {"VendorID", "0"},
                   {"MAC", c.mac},
                   {"Title", title_of(c)},
                   {"Contact", "lab@kelvo.example"}});
}

void fill_network(Node &net, const DeviceConfig &c) {
    net.kids.clear();
    net.add_all({{"Name", c.name},
                 {"IPAddr", c.ip},
                 {"Submask", c.mask},
                 {"Gateway", c.gateway},
                 {"HTTPport", num(c.port)},
                 {"TelnetPort", num(c.setup_port)},
                 {"SNMPPort", "161"},
                 {"DNSPrimary", "127.0.0.53"},
                 {"DNSSecondary", "0.0.0.0"},
                 {"DHCP", c.dhcp_enabled ? "1" : "0"}});
}

void now_texts(std::string &date, std::string &clock) {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char d[32], h[32];
    std::snprintf(d, sizeof d, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
    std::snprintf(h, sizeof h, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    date = d;
    clock = h;
}

void write_node(const Node &n, std::string &out) {
    if (n.kids.empty()) {
        out += "<" + n.name + ">" + xml_escape(n.text) + "</" + n.name + ">\n";
        return;
    }
    out += "<" + n.name + ">\n";
    for (const auto &k : n.kids)
        write_node(k, out);
    out += "</" + n.name + ">\n";
}

void write_kids(const Node &n, std::string &out) {
    for (const auto &k : n.kids)
        write_node(k, out);
}

const char *kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// Copies the listed fields of every entry of a setup list into a values list.
Node project_list(const Node *from, const char *name, std::initializer_list<const char *> fields) {
    Node list{name, "", {}};
    if (!from)
        return list;
    for (const auto &e : from->kids) {
        if (e.name != "Entry")
            continue;
        Node &entry = list.add("Entry");
        for (const char *f : fields) {
            const Node *v = e.child(f);
            entry.add(f, v ? v->text : "");
        }
    }
    return list;
}

std::string text_of(const Node &n, const char *f) {
    const Node *v = n.child(f);
    return v ? v->text : std::string();
}

// "21.5" with exponent -1 becomes 215; the point is a point in every locale.
long scaled(const std::string &text) {
    const char *p = text.c_str();
    const char *end = p + text.size();
    while (p != end && (*p == ' ' || *p == '+'))
        ++p;
    double v = 0;
    std::from_chars(p, end, v);
    return std::lround(v * 10);
}

} // namespace

std::string setup_document(const Node &setup, const DeviceConfig &config) {
    Node doc = setup;
    if (Node *agent = doc.child("Agent"))
        fill_agent(*agent, config);
    if (Node *net = doc.child("Network"))
        fill_network(*net, config);
    if (Node *sys = doc.child("MIBIISysGroup"))
        if (Node *n = sys->child("SysName"))
            n->text = config.name;
    if (Node *time = doc.child("Time")) {
        std::string date, clock;
        now_texts(date, clock);
        time->child("Date")->text = date;
        time->child("Time")->text = clock;
    }
    std::string out = kDeclaration;
    out += "<Root>\n";
    write_kids(doc, out);
    out += "</Root>\n";
    return out;
}

std::string values_document(const Node &setup, const DeviceConfig &config) {
    Node root{"Root", "", {}};
    fill_agent(root.add("Agent"), config);
    if (const Node *r = setup.child("TemperRange"))
        root.kids.push_back(*r);
    const Node *in = setup.child("BinaryInSet");
    const Node *sen = setup.child("SenSet");
    std::string date, clock;
    now_texts(date, clock);
    std::string out = kDeclaration;

    if (is_meter_model(config.model)) {
        // Meter dialect: Meter elements with Val channels and Input elements
        // straight under a prefixed root.
        out += "<val:Root xmlns:val=\"http://kelvo.example/values\">\n";
        write_kids(root, out);
        out += "<Meter>\n<Name>Line</Name>\n";
        if (sen)
            for (const auto &e : sen->kids) {
                if (e.name != "Entry")
                    continue;
                out += "<Val id=\"" + text_of(e, "ID") + "\">\n";
                out += "<Name>" + xml_escape(text_of(e, "Name")) + "</Name>\n";
                out += "<Units>" + xml_escape(text_of(e, "Units")) + "</Units>\n";
                out += "<Exp>-1</Exp>\n";
                out += "<Value>" + xml_escape(text_of(e, "Value")) + "</Value>\n";
                out += "<alarm_end>" + std::to_string(scaled(text_of(e, "Min"))) + "</alarm_end>\n";
                out += "<alarm_start>" + std::to_string(scaled(text_of(e, "Max"))) +
                       "</alarm_start>\n";
                out += "<hyst>" + std::to_string(scaled(text_of(e, "Hyst"))) + "</hyst>\n";
                out += "<State>" + xml_escape(text_of(e, "State")) + "</State>\n";
                out +=
                    "<cfg>" + std::string(text_of(e, "SNMPTrap") == "1" ? "4" : "0") + "</cfg>\n";
                out += "</Val>\n";
            }
        out += "</Meter>\n";
        if (in)
            for (const auto &e : in->kids) {
                if (e.name != "Entry")
                    continue;
                out += "<Input id=\"" + text_of(e, "ID") + "\">\n";
                out += "<Name>" + xml_escape(text_of(e, "Name")) + "</Name>\n";
                out += "<State>" + xml_escape(text_of(e, "State")) + "</State>\n";
                out += "<Value>" + xml_escape(text_of(e, "Value")) + "</Value>\n";
                out += "<cfg>6</cfg>\n</Input>\n";
            }
        Node time{"Time", "", {}};
        time.add("Date", date);
        time.add("Time", clock);
        write_node(time, out);
        out += "</val:Root>\n";
        return out;
    }

    Node bin = project_list(in, "BinaryInSet",
                            {"Idx", "ID", "Name", "Value", "AlarmState", "Alarm", "State", "Cnt",
                             "Color", "SNMPTrap", "EmailSMS"});
    bin.add("AlarmAction", in && in->child("AlarmAction") ? in->child("AlarmAction")->text : "0");
    root.kids.push_back(bin);
    root.kids.push_back(
        project_list(setup.child("BinaryOutSet"), "BinaryOutSet",
                     {"Idx", "ID", "Name", "Type", "Value", "Mode", "CondInputID", "Trigger"}));
    root.kids.push_back(project_list(sen, "SenSet",
                                     {"Idx", "Name", "ID", "Units", "Value", "Exp", "Min", "Max",
                                      "Hyst", "SNMPTrap", "EmailSMS", "Color", "State", "Calib"}));
    root.add("Time", {{"Date", date}, {"Time", clock}});
    out += "<Root>\n";
    write_kids(root, out);
    out += "</Root>\n";
    return out;
}

namespace {

// Elements a device never takes from an upload: its identity, live readings
// and its clock.
const std::set<std::string> kReadOnly = {
    "Root_Agent",
    "Root_Status",
    "Root_BinaryInSet_Entry_Value",
    "Root_BinaryInSet_Entry_State",
    "Root_BinaryInSet_Entry_Cnt",
    "Root_BinaryOutSet_Entry_Type",
    "Root_SenSet_Entry_Value",
    "Root_SenSet_Entry_State",
    "Root_Time_Date",
    "Root_Time_Time",
    "Root_Info",
};

std::string node_text(xmlNode *n) {
    std::string s;
    for (xmlNode *c = n->children; c; c = c->next)
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
            if (c->content)
                s += reinterpret_cast<const char *>(c->content);
    return s;
}

bool has_element_kids(xmlNode *n) {
    for (xmlNode *c = n->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            return true;
    return false;
}

bool parse_u16(const std::string &t, std::uint16_t &out) {
    if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long v = std::strtoul(t.c_str(), nullptr, 10);
    if (v == 0 || v > 65535)
        return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

// Network settings live in the device's settings, not in the tree.
bool apply_network(const std::string &field, const std::string &value, DeviceConfig &c,
                   PostResult &r) {
    if (field == "Name") {
        if (value.size() > 50)
            return false;
        r.name_changed = r.name_changed || value != c.name;
        c.name = value;
        return true;
    }
    if (field == "IPAddr" || field == "Submask" || field == "Gateway") {
        std::uint8_t parts[4];
        if (!qv::parse_dotted_ipv4(value, parts))
            return false;
        if (field == "IPAddr") {
            r.address_changed = r.address_changed || value != c.ip;
            c.ip = value;
        } else if (field == "Submask") {
            c.mask = value;
        } else {
            c.gateway = value;
        }
        return true;
    }
    if (field == "HTTPport" || field == "TelnetPort") {
        std::uint16_t p;
        if (!parse_u16(value, p))
            return false;
        std::uint16_t &target = field == "HTTPport" ? c.port : c.setup_port;
        r.address_changed = r.address_changed || p != target;
        target = p;
        return true;
    }
    if (field == "DHCP") {
        c.dhcp_enabled = value == "1";
        return true;
    }
    return false; // SNMPPort and the DNS servers are shown but fixed here
}

void apply_element(xmlNode *posted, Node *target, const std::string &path, DeviceConfig &c,
                   PostResult &r) {
    for (xmlNode *x = posted->children; x; x = x->next) {
        if (x->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = reinterpret_cast<const char *>(x->name);
        const std::string p = path + "_" + name;
        if (kReadOnly.count(p)) {
            r.ignored.push_back(p);
            continue;
        }
        if (path == "Root_Network" && !has_element_kids(x)) {
            (apply_network(name, trimmed(node_text(x)), c, r) ? r.applied : r.ignored).push_back(p);
            continue;
        }
        Node *t = nullptr;
        if (name == "Entry") {
            std::string idx;
            for (xmlNode *k = x->children; k; k = k->next)
                if (k->type == XML_ELEMENT_NODE &&
                    std::string(reinterpret_cast<const char *>(k->name)) == "Idx")
                    idx = trimmed(node_text(k));
            t = target ? target->entry(idx) : nullptr;
        } else if (name == "Idx" && path.size() > 6 &&
                   path.compare(path.size() - 6, 6, "_Entry") == 0) {
            continue; // chooses the entry; never changed
        } else {
            t = target ? target->child(name) : nullptr;
        }
        if (!t) {
            r.ignored.push_back(p);
            continue;
        }
        if (has_element_kids(x) || !t->kids.empty()) {
            apply_element(x, t, p, c, r);
            continue;
        }
        const std::string v = node_text(x);
        if (v.size() > 150) {
            r.ignored.push_back(p);
            continue;
        }
        t->text = v;
        r.applied.push_back(p);
    }
}

} // namespace

PostResult apply_setup_post(Node &setup, DeviceConfig &config, const std::string &body) {
    PostResult r;
    xmlDocPtr doc = xmlReadMemory(body.data(), static_cast<int>(body.size()), "setup.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc)
        return r;
    xmlNode *root = xmlDocGetRootElement(doc);
    if (root && std::string(reinterpret_cast<const char *>(root->name)) == "Root") {
        r.parsed = true;
        apply_element(root, &setup, "Root", config, r);
    }
    xmlFreeDoc(doc);
    return r;
}

std::string trimmed(const std::string &s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

} // namespace kelvo::devsim
