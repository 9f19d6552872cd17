// Time and peak memory of the two upload filters on large configuration
// files: the session's sensor filter (FilterSenSet, as SendSetupFile runs it
// on the GUI thread) and the library's upload filter (filter_upload_xml).
//
//   xml_upload_filter_bench [MiB ...]      (default: 1 4 16 100)
//
// The documents hold sensor entries with IDs 1 to N of which the device's
// setup knows the first 42, so nearly every entry is removed: the case that
// made the old sensor filter quadratic. Each measurement runs in a child
// process so that its peak resident memory (ru_maxrss) is its own. Prints
// processor milliseconds, MiB per second, the peak memory and how much the filter
// added to it beyond the loaded document. The library filter refuses large
// documents at the end (their filtered form does not fit a request), after
// the whole parse: its time is what a refusal costs.
#include "model/xml_model.h"
#include "xml_internal.h"

#include <mvxapi.h>
#include <qvxml.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr size_t kMiB = 1024 * 1024;

std::string Entry(int id) {
    return "<Entry>\n  <ID>" + std::to_string(id) + "</ID>\n  <Name>Sensor " + std::to_string(id) +
           "</Name>\n  <Units>C</Units>\n  <Min>5.0</Min>\n  <Max>35.0</Max>\n  <Idx>" +
           std::to_string(id) + "</Idx>\n</Entry>\n";
}

std::vector<char> Document(size_t bytes) {
    std::vector<char> doc;
    doc.reserve(bytes + 4096); // room for the last entry and the filter's spare bytes
    auto add = [&](const std::string &s) { doc.insert(doc.end(), s.begin(), s.end()); };
    add("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n"
        "<Network><Name>bench</Name><IPAddr>10.0.0.9</IPAddr></Network>\n<SenSet>\n");
    for (int id = 1; doc.size() < bytes; ++id) {
        add(Entry(id));
    }
    add("</SenSet>\n</Root>\n");
    return doc;
}

std::string DeviceSetup() {
    std::string doc = "<?xml version=\"1.0\"?>\n<Root>\n<SenSet>\n";
    for (int id = 1; id <= QVXML_LIST_MAX_SenSet; ++id) {
        doc += Entry(id);
    }
    return doc + "</SenSet>\n</Root>\n";
}

// Processor time of this process: on a shared machine the wall time says
// more about the neighbours than about the filter.
double CpuMilliseconds() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024; // KiB
}

// Child: runs one filter over a document of `bytes`; prints its own line.
int RunOne(bool session_filter, size_t bytes) {
    std::vector<char> text = Document(bytes);
    const size_t input = text.size();
    int rc = 0;
    size_t kept = 0;
    double ms = 0;
    double before = 0;
    mvxapi::TIoXmlCustom *session = nullptr;
    if (session_filter) {
        session = new mvxapi::TIoXmlCustom(nullptr);
        session->host = "127.0.0.1";
        session->port = 9; // never contacted: the device's setup is loaded
        const std::string setup = DeviceSetup();
        if (session->Open() != 0 ||
            qvxml_load_setup(session->GetHandle(), setup.c_str(), static_cast<int>(setup.size())) !=
                0 ||
            qvxml_wait_finish(session->GetHandle(), 10, 5) != 0) {
            std::fprintf(stderr, "cannot load the device's setup\n");
            return 1;
        }
        text.push_back('\0');
        long length = static_cast<long>(input);
        before = PeakMiB();
        const double start = CpuMilliseconds();
        rc = session->FilterSenSet(text.data(), length);
        ms = CpuMilliseconds() - start;
        kept = static_cast<size_t>(length);
    } else {
        qvxml_init();
        text.resize(input + 1024, '\0');
        before = PeakMiB();
        const double start = CpuMilliseconds();
        rc = qvxml::filter_upload_xml(0, text.data(), static_cast<int>(text.size()));
        ms = CpuMilliseconds() - start;
        kept = rc == 0 ? std::strlen(text.data()) : 0;
    }
    const double peak = PeakMiB();
    qvxml_error_record record{};
    qvxml_error(session ? session->GetHandle() : 0, &record);
    std::printf("%-15s %6.1f MiB %9.1f ms cpu %7.1f MiB/s  peak %6.1f MiB (+%.1f over the loaded "
                "document)  %s\n",
                session_filter ? "sensor filter" : "library filter",
                static_cast<double>(input) / kMiB, ms,
                static_cast<double>(input) / kMiB / (ms / 1000), peak, peak - before,
                rc == 0 ? ("kept " + std::to_string(kept) + " bytes").c_str()
                        : (std::string("refused: ") + record.text).c_str());
    std::fflush(stdout);
    return 0;
}

void Measure(bool session_filter, size_t bytes) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::_Exit(RunOne(session_filter, bytes));
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace

int main(int argc, char **argv) {
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(std::strtoul(argv[i], nullptr, 10) * kMiB);
    }
    if (sizes.empty()) {
        sizes = {1 * kMiB, 4 * kMiB, 16 * kMiB, 100 * kMiB};
    }
    for (size_t bytes : sizes) {
        Measure(true, bytes);
        Measure(false, bytes);
    }
    return 0;
}
