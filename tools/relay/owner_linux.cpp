// Which user owns a client's socket, asked of the kernel's socket diagnostics.
#include "relay.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvo::relay {

OwnerLookup::OwnerLookup() {
    fd_ = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_SOCK_DIAG);
}

OwnerLookup::~OwnerLookup() {
    if (fd_ >= 0)
        close(fd_);
}

Owner OwnerLookup::owner(const sockaddr_in &client, const sockaddr_in &relay, std::uint32_t &uid,
                         std::string *error) {
    if (fd_ < 0) {
        if (error)
            *error = std::string("socket diagnostics: ") + std::strerror(errno);
        return Owner::unknown;
    }
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } ask{};
    ask.header.nlmsg_len = sizeof ask;
    ask.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    ask.header.nlmsg_flags = NLM_F_REQUEST;
    ask.header.nlmsg_seq = ++sequence_;
    ask.request.sdiag_family = AF_INET;
    ask.request.sdiag_protocol = IPPROTO_UDP;
    ask.request.idiag_states = ~0u;
    // The socket that would receive a datagram from the relay to the client,
    // which is the one the relay answers.
    ask.request.id.idiag_sport = relay.sin_port;
    ask.request.id.idiag_src[0] = relay.sin_addr.s_addr;
    ask.request.id.idiag_dport = client.sin_port;
    ask.request.id.idiag_dst[0] = client.sin_addr.s_addr;
    ask.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    ask.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    if (send(fd_, &ask, sizeof ask, 0) != static_cast<ssize_t>(sizeof ask)) {
        if (error)
            *error = std::string("socket diagnostics: ") + std::strerror(errno);
        return Owner::unknown;
    }
    // The kernel answers at once; the bound only guards against a kernel
    // that never does.
    alignas(nlmsghdr) char buf[8192];
    for (int tries = 0; tries < 4; ++tries) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            break;
        const ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n < 0)
            break;
        int left = static_cast<int>(n);
        for (auto *h = reinterpret_cast<nlmsghdr *>(buf); NLMSG_OK(h, left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_seq != sequence_)
                continue; // a late answer to an earlier question
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto *e = static_cast<const nlmsgerr *>(NLMSG_DATA(h));
                if (e->error == -ENOENT)
                    return Owner::gone;
                if (error)
                    *error = std::string("socket diagnostics: ") + std::strerror(-e->error);
                return Owner::unknown;
            }
            if (h->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
                h->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
                uid = static_cast<const inet_diag_msg *>(NLMSG_DATA(h))->idiag_uid;
                return Owner::found;
            }
        }
    }
    if (error)
        *error = "socket diagnostics: no answer";
    return Owner::unknown;
}

} // namespace kelvo::relay
