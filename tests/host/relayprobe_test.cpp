// The relay probe against small responders on 127.0.0.1 that answer right,
// wrong or not at all, and the owner-only files that hold the settings.
#include "hostrelay.h"
#include "hostsecrets.h"
#include "test_sockets.h"
#include "wire.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace kelvo::host;

namespace {

int BoundUdp() {
    const int fd = kelvo::test::bound_udp("127.0.0.1", 0);
    EXPECT_GE(fd, 0);
    return fd;
}

enum class Answer { Right, Silent, WrongNonce, WrongVersion, OtherPort, StatusWithNul };

// Answers every probe it gets within 3 s as `how` says, with `status`; keeps
// what it received.
struct Responder {
    Responder(Answer how, std::string status) {
        fd = BoundUdp();
        other = BoundUdp();
        thread = std::thread([this, how, status] {
            for (;;) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 3000) <= 0)
                    return;
                unsigned char buf[512];
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n =
                    recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &len);
                if (n <= 0)
                    return;
                received.emplace_back(buf, buf + n);
                if (how == Answer::Silent || n < 35)
                    continue;
                std::vector<unsigned char> out = {'K', 'V', 'R', 'L', 1};
                out.insert(out.end(), buf + 19, buf + 35);
                out.insert(out.end(), status.begin(), status.end());
                if (how == Answer::WrongNonce)
                    out[7] ^= 1;
                if (how == Answer::WrongVersion)
                    out[4] = 2;
                if (how == Answer::StatusWithNul)
                    out.push_back(0);
                sendto(how == Answer::OtherPort ? other : fd, out.data(), out.size(), 0,
                       reinterpret_cast<sockaddr *>(&from), len);
            }
        });
    }
    // Ends the thread; what it received stays.
    void stop() {
        if (!thread.joinable())
            return;
        shutdown(fd, SHUT_RDWR);
        thread.join();
    }
    ~Responder() {
        stop();
        close(fd);
        close(other);
    }
    int fd, other;
    std::vector<std::vector<unsigned char>> received;
    std::thread thread;
};

} // namespace

TEST(RelayProbe, OnlyTheRightAnswerFromTheRelaysPortCounts) {
    const std::string reason = "none of the --interface interfaces is up";
    const struct {
        Answer how;
        std::string status;
        RelayPresence expected;
    } cases[] = {
        {Answer::Right, "", RelayPresence::Answering},
        {Answer::Right, reason, RelayPresence::Answering},
        {Answer::Silent, "", RelayPresence::Absent},
        {Answer::WrongNonce, "", RelayPresence::Absent},
        {Answer::WrongVersion, "", RelayPresence::Absent},
        {Answer::OtherPort, "", RelayPresence::Absent},
        {Answer::StatusWithNul, "x", RelayPresence::Absent},
        {Answer::Right, std::string(kProbeStatusMax + 1, 'x'), RelayPresence::Absent},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.how));
        Responder r(c.how, c.status);
        const RelayProbe probe = ProbeRelay("127.0.0.1", kelvo::test::local_port(r.fd));
        r.stop();
        const auto &got = r.received;
        EXPECT_EQ(probe.presence, c.expected);
        if (c.expected == RelayPresence::Answering) {
            EXPECT_EQ(probe.text, c.status);
            ASSERT_EQ(got.size(), 1u);
        } else {
            EXPECT_EQ(probe.text, "nothing there answers as kelvo-relay");
            ASSERT_EQ(got.size(), static_cast<size_t>(kProbeTries));
        }
        for (const auto &d : got) {
            ASSERT_EQ(d.size(), 35u);
            qvudps::ProxyHeader h{};
            const uint8_t *payload = nullptr;
            std::size_t len = 0;
            EXPECT_EQ(qvudps::decode_proxy_datagram(d.data(), d.size(), h, payload, len),
                      qvudps::ProxyStatus::ok);
            EXPECT_EQ(h.kind, kProbeKind);
            EXPECT_EQ(len, kProbeNonceSize);
        }
    }
}

TEST(PrivateFiles, CreatedOwnerOnlyWhateverTheUmaskAndNeverThroughALink) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kelvo-private-" + std::to_string(getpid()));
    fs::remove_all(dir);
    std::string error;
    const mode_t old = umask(0);
    EXPECT_TRUE(MakePrivateFolder(dir.string(), &error)) << error;
    EXPECT_TRUE(MakePrivateFile((dir / "Kelvo.conf").string(), &error)) << error;
    umask(old);
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(stat((dir / "Kelvo.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const fs::path target = dir / "elsewhere";
    std::ofstream(target.string()) << "x";
    chmod(target.c_str(), 0644);
    fs::create_symlink(target, dir / "linked.conf");
    EXPECT_FALSE(MakePrivateFile((dir / "linked.conf").string(), &error));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "the link's target is left alone";
    fs::remove_all(dir);
}
