// A multi-device handle with 100 modules downloads setup.xml from 100 HTTP
// servers on 127.0.0.1, round after round. Prints documents per second and
// the peak resident memory of the process.
#include "qvxml.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int module_count = 100;
constexpr int rounds = 10;

// A full-looking setup document of about 19 KB.
std::string make_setup_document() {
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<Agent>\n"
                      "<Version>4.1.7</Version>\n<DeviceName>Bench device</DeviceName>\n"
                      "<Model>33</Model>\n</Agent>\n<SenSet>\n";
    for (int i = 0; i < 42 && doc.size() < 17000; ++i) {
        doc += "<Entry>\n<Idx>" + std::to_string(i) + "</Idx>\n<Name>Sensor " + std::to_string(i) +
               "</Name>\n<ID>" + std::to_string(1000 + i) +
               "</ID>\n<Units>C</Units>\n<Min>-20</Min>\n<Max>40</Max>\n<Hyst>1</Hyst>\n<E>1</E>\n"
               "<Dest>\n<Snmp1>1</Snmp1>\n<Snmp2>0</Snmp2>\n<Mail1>1</Mail1>\n<Delay>5</Delay>\n"
               "</Dest>\n</Entry>\n";
    }
    doc +=
        "</SenSet>\n<Network>\n<Name>bench</Name>\n<IPAddr>192.0.2.10</IPAddr>\n"
        "<Submask>255.255.255.0</Submask>\n<HTTPport>80</HTTPport>\n</Network>\n<Global>\n<Logo>";
    while (doc.size() < 18900) {
        doc += 'x';
    }
    doc += "</Logo>\n</Global>\n</Root>\n";
    return doc;
}

struct server {
    std::vector<int> listeners;
    std::vector<int> ports;
    std::string reply;
    std::atomic<bool> stop{false};
    std::atomic<long> served{0};
    std::thread thread;

    bool start(int count, const std::string &body) {
        reply = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body;
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t size = sizeof address;
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
                ::listen(fd, 8) != 0 ||
                ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
                return false;
            }
            listeners.push_back(fd);
            ports.push_back(ntohs(address.sin_port));
        }
        thread = std::thread([this] { run(); });
        return true;
    }

    void run() {
        std::vector<pollfd> entries;
        for (const int fd : listeners) {
            entries.push_back({fd, POLLIN, 0});
        }
        while (!stop) {
            if (::poll(entries.data(), entries.size(), 50) <= 0) {
                continue;
            }
            for (pollfd &entry : entries) {
                if ((entry.revents & POLLIN) == 0) {
                    continue;
                }
                const int fd = ::accept(entry.fd, nullptr, nullptr);
                if (fd < 0) {
                    continue;
                }
                char request[512];
                (void)::recv(fd, request, sizeof request, 0);
                size_t sent = 0;
                for (int tries = 0; sent < reply.size() && tries < 1000; ++tries) {
                    const ssize_t n =
                        ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) {
                        break;
                    }
                    sent += static_cast<size_t>(n);
                }
                ::close(fd);
                ++served;
            }
        }
    }

    ~server() {
        stop = true;
        if (thread.joinable()) {
            thread.join();
        }
        for (const int fd : listeners) {
            ::close(fd);
        }
    }
};

long peak_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main() {
    const std::string document = make_setup_document();
    server peers;
    if (!peers.start(module_count, document)) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    const long before_kib = peak_kib();
    if (qvxml_init() != 0) {
        qvxml_error_print(0);
        return 1;
    }
    const int handle = qvxml_open_many(nullptr);
    if (handle < 0 || qvxml_wait_finish(handle, 0, 5) != 0) {
        qvxml_error_print(0);
        return 1;
    }
    for (int i = 0; i < module_count; ++i) {
        if (qvxml_add_module(handle, "127.0.0.1", peers.ports[static_cast<size_t>(i)], nullptr) !=
            i) {
            qvxml_error_print(handle);
            return 1;
        }
    }
    std::printf("setup document: %zu bytes, modules: %d, rounds: %d\n", document.size(),
                module_count, rounds);
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        if (qvxml_get_setup(handle) != 0 || qvxml_wait_finish(handle, 4, 120) != 0) {
            qvxml_error_print(0);
            return 1;
        }
        for (int i = 0; i < module_count; ++i) {
            char *text = nullptr;
            int length = 0;
            if (qvxml_get_setup_xml_many(handle, i, &text, &length) != 0 ||
                length != static_cast<int>(document.size())) {
                ++failed;
            }
        }
    }
    qvxml_setup *setup = nullptr;
    qvxml_setup_counts *counts = nullptr;
    if (qvxml_get_setup_cache_many(handle, module_count - 1, &setup, &counts) != 0 ||
        std::strcmp(setup->Network_Name, "bench") != 0 || counts->SenSet < 1) {
        std::fprintf(stderr, "the parsed structure is not the served document\n");
        ++failed;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int documents = module_count * rounds;
    std::printf("downloaded and parsed: %d documents in %.3f s = %.0f documents/s "
                "(%.2f ms each), failed: %d, served: %ld\n",
                documents, seconds, documents / seconds, 1000.0 * seconds / documents, failed,
                peers.served.load());
    std::printf("peak resident memory: %.1f MiB (%.1f MiB before the library started)\n",
                peak_kib() / 1024.0, before_kib / 1024.0);
    qvxml_close(handle);
    qvxml_uninit();
    return failed == 0 ? 0 : 1;
}
