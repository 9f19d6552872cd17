// The device's TCP setup terminal: Telnet negotiation at connect, a small
// menu, echo of what is typed and backspace editing.
#include "internal.h"

namespace kelvo::devsim {

namespace {

constexpr std::uint8_t IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254, SB = 250, SE = 240;
constexpr std::uint8_t OPT_ECHO = 1, OPT_SGA = 3;
constexpr std::size_t kMaxLine = 80;

std::string menu_text(const DeviceConfig &c) {
    return "\r\nKelvo device setup - " + (c.name.empty() ? std::string("(no name)") : c.name) +
           " [" + c.mac +
           "]\r\n"
           "  1  Show network settings\r\n"
           "  2  Show device information\r\n"
           "  3  Set device name\r\n"
           "  Q  Quit\r\n"
           "Choice: ";
}

} // namespace

void Fleet::Impl::term_greet(Conn &c) {
    const Device &dev = devices[c.dev];
    const std::uint8_t hello[] = {IAC, WILL, OPT_ECHO, IAC, WILL, OPT_SGA, IAC, DO, OPT_SGA};
    c.out.assign(reinterpret_cast<const char *>(hello), sizeof hello);
    c.out += menu_text(dev.cfg);
    add_log(JsonLine().add("mac", dev.cfg.mac).add("event", "connect"), "terminal");
}

void Fleet::Impl::term_input(Conn &c) {
    Device &dev = devices[c.dev];
    const std::string bytes = std::move(c.in);
    c.in.clear();
    add_log(JsonLine()
                .add("mac", dev.cfg.mac)
                .add("bytes",
                     to_hex(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size())),
            "terminal");
    c.deadline = Clock::now() + std::chrono::minutes(10);

    std::string echo;
    for (unsigned char b : bytes) {
        // The client's own negotiation is read and ignored.
        switch (c.telnet) {
        case 1:
            if (b == WILL || b == WONT || b == DO || b == DONT)
                c.telnet = 2;
            else if (b == SB)
                c.telnet = 3;
            else
                c.telnet = 0;
            continue;
        case 2:
            c.telnet = 0;
            continue;
        case 3:
            if (b == IAC)
                c.telnet = 4;
            continue;
        case 4:
            c.telnet = b == SE ? 0 : 3;
            continue;
        default:
            break;
        }
        if (b == IAC) {
            c.telnet = 1;
            continue;
        }
        if (b == 8 || b == 127) {
            if (!c.line.empty()) {
                c.line.pop_back();
                echo += "\b \b";
            }
            continue;
        }
        if (b == '\n' || b == 0)
            continue; // the CR before it ended the line
        if (b == '\r') {
            echo += "\r\n";
            const std::string line = c.line;
            c.line.clear();
            if (c.menu == 1) {
                c.menu = 0;
                if (!line.empty() && line.size() <= 50) {
                    dev.cfg.name = line;
                    echo += "Name set.\r\n";
                } else {
                    echo += "Name unchanged.\r\n";
                }
                echo += menu_text(dev.cfg);
            } else if (line == "1") {
                const DeviceConfig &g = dev.cfg;
                echo += "IP address  " + g.ip + "\r\nNetmask     " + g.mask + "\r\nGateway     " +
                        g.gateway + "\r\nPort        " + std::to_string(g.port) +
                        "\r\nDHCP        " + (g.dhcp_enabled ? "on" : "off") + "\r\n" +
                        menu_text(g);
            } else if (line == "2") {
                const DeviceConfig &g = dev.cfg;
                echo += "MAC         " + g.mac + "\r\nModel       " + g.model + "\r\nFirmware    " +
                        std::to_string(g.fw_major) + "." + std::to_string(g.fw_minor) + "." +
                        std::to_string(g.fw_build) + "\r\n" + menu_text(g);
            } else if (line == "3") {
                c.menu = 1;
                echo += "New name: ";
            } else if (line == "q" || line == "Q") {
                echo += "Bye.\r\n";
                c.close_when_written = true;
            } else if (line.empty()) {
                echo += "Choice: ";
            } else {
                echo += "Unknown choice.\r\n" + menu_text(dev.cfg);
            }
            continue;
        }
        if (b < 32)
            continue;
        if (c.line.size() < kMaxLine) {
            c.line += static_cast<char>(b);
            echo += static_cast<char>(b);
        } else {
            echo += '\a';
        }
    }
    if (!echo.empty())
        queue_write(c, echo);
    else if (c.close_when_written && c.out_off >= c.out.size())
        c.dead = true;
}

} // namespace kelvo::devsim
