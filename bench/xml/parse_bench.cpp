// Parse speed of values.xml and setup.xml against a bare libxml2 SAX parse of
// the same bytes with empty callbacks.
//
//   xml_parse_bench [setup.xml [values.xml]]
//
// Without arguments it builds a setup document (every list with entries) and a
// values document in memory. Prints processor microseconds per document and
// the ratio; the document model should stay within 1.5 times the bare parse.
#include "model/sax_parse.h"
#include "model/xml_model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string entries(const char *list, int count, const std::vector<std::string> &fields) {
    std::string s = std::string("<") + list + ">\n";
    for (int i = 0; i < count; ++i) {
        s += "  <Entry>\n";
        for (const std::string &f : fields) {
            size_t us = f.find('_');
            if (us == std::string::npos) {
                s += "    <" + f + ">" + std::to_string(i % 7) + "</" + f + ">\n";
            } else {
                std::string outer = f.substr(0, us), inner = f.substr(us + 1);
                s += "    <" + outer + "><" + inner + ">1</" + inner + "></" + outer + ">\n";
            }
        }
        s += "    <Idx>" + std::to_string(i) + "</Idx>\n  </Entry>\n";
    }
    return s + "</" + list + ">\n";
}

std::string built_setup() {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n"
                    "<Agent><Version>3.1.12</Version><XmlVer>1.4</XmlVer>"
                    "<DeviceName>Bench &amp; device</DeviceName><Model>33</Model>"
                    "<VendorID>4</VendorID><MAC>00:0A:59:03:21:7C</MAC><Title>Bench</Title>"
                    "<Contact>ops@example.com</Contact></Agent>\n"
                    "<Status><NtpState>ok</NtpState></Status>\n";
    std::vector<std::string> dest = {"Dest_Snmp1", "Dest_Snmp2", "Dest_Mail1", "Dest_Delay",
                                     "Dest_E"};
    std::vector<std::string> in = {"ID",    "Name",       "NameOpen", "NameClose", "Cnt",
                                   "Value", "AlarmState", "Alarm",    "Color",     "State",
                                   "Mask1", "Mask2",      "SNMPTrap", "EmailSMS"};
    in.insert(in.end(), dest.begin(), dest.end());
    s += entries("BinaryInSet", 12, in);
    s += entries(
        "BinaryOutSet", 8,
        {"ID", "Name", "NameOpen", "NameClose", "Value", "Type", "Mode", "CondInputID", "Trigger"});
    std::vector<std::string> sen = {"Name",     "ID",    "Units", "Min",  "Max",
                                    "Hyst",     "E",     "Value", "Exp",  "SNMPTrap",
                                    "EmailSMS", "Color", "State", "Calib"};
    sen.insert(sen.end(), dest.begin(), dest.end());
    s += entries("SenSet", 12, sen);
    s += entries("TempRangeSet", 4, {"Min", "Max", "Alarm"});
    s += entries("SnmpTraps", 4, {"Community", "IPaddr", "Port", "E"});
    s += entries("MailDest", 4, {"To", "Cc", "E"});
    s += "<Network><Name>bench</Name><IPAddr>192.168.1.50</IPAddr><Submask>255.255.255.0"
         "</Submask><Gateway>192.168.1.1</Gateway><HTTPport>80</HTTPport></Network>\n"
         "<Email><Server>mail</Server><Port>25</Port><Message>Alarm &lt;%n&gt;</Message></Email>\n";
    s += entries("User", 2, {"Name", "Pswd"});
    s += "<Info>1</Info>\n</Root>\n";
    return s;
}

std::string built_values() {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n"
                    "<Agent><Version>3.1.12</Version><Model>33</Model></Agent>\n";
    s += entries("BinaryInSet", 8, {"ID", "Name", "Value", "AlarmState", "Alarm", "State"});
    s += entries("BinaryOutSet", 4, {"ID", "Name", "Type", "Value", "Mode"});
    s += entries("SenSet", 8, {"Name", "ID", "Units", "Value", "Exp", "Min", "Max", "State"});
    s += "<Time><Date>2026-12-07</Date><Time>21:00:00</Time></Time>\n</Root>\n";
    return s;
}

std::string read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void empty_start(void *, const xmlChar *, const xmlChar **) {}
void empty_end(void *, const xmlChar *) {}
void empty_text(void *, const xmlChar *, int) {}

// Mean processor time of one parse over a batch, in microseconds. Processor
// time rather than wall time, so that other work on the machine does not
// count.
template <typename F> double batch(F &&parse, int runs) {
    std::clock_t start = std::clock();
    for (int i = 0; i < runs; ++i) {
        parse();
    }
    return 1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / runs;
}

// Bare and model batches alternate so that both see the same machine load;
// the fastest batch of each counts (the least disturbed one).
template <typename B, typename M>
void compare(const char *label, size_t bytes, B &&bare, M &&model) {
    const int runs = 200;
    double best_bare = 1e300, best_model = 1e300;
    for (int round = 0; round < 15; ++round) {
        best_bare = std::min(best_bare, batch(bare, runs));
        best_model = std::min(best_model, batch(model, runs));
    }
    std::printf("%-24s %6zu bytes  bare SAX %8.1f us  model %8.1f us  ratio %.2f\n", label, bytes,
                best_bare, best_model, best_model / best_bare);
}

void report(const char *label, const std::string &text, bool setup) {
    auto bare = [&] {
        qvxml::sax_run(text.data(), text.size(), {empty_start, empty_end, empty_text}, nullptr);
    };
    if (setup) {
        auto s = std::make_unique<qvxml_setup>();
        qvxml_setup_counts c{};
        compare(label, text.size(), bare,
                [&] { qvxml::parse_setup(text.data(), text.size(), s.get(), &c); });
    } else {
        auto v = std::make_unique<qvxml_values>();
        qvxml_values_counts c{};
        compare(label, text.size(), bare,
                [&] { qvxml::parse_values(text.data(), text.size(), v.get(), &c); });
    }
}

} // namespace

int main(int argc, char **argv) {
    qvxml::init_xml_library();
    std::string setup = argc > 1 ? read_file(argv[1]) : built_setup();
    std::string values = argc > 2 ? read_file(argv[2]) : built_values();
    report("setup.xml", setup, true);
    report("values.xml", values, false);
    // A meter model also gets the DOM pass over the whole document.
    std::string meter = values;
    size_t model = meter.find("<Model>");
    if (model != std::string::npos) {
        meter.replace(model, meter.find("</Model>") - model, "<Model>45");
        report("values.xml, meter model", meter, false);
    }
    std::string prefixed = setup;
    size_t root = prefixed.find("<Root>");
    if (root != std::string::npos) {
        prefixed.replace(root, 6, "<set:Root xmlns:set=\"urn:bench\">");
        size_t end = prefixed.rfind("</Root>");
        prefixed.replace(end, 7, "</set:Root>");
        report("setup.xml, set:Root", prefixed, true);
    }
    return 0;
}
