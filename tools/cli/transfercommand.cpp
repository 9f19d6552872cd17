#include "transfercommand.h"

#include "devicetext.h"
#include "textutil.h"

namespace kelvo::cli {

namespace {

// "MAC" (searched for) or "IP" / "IP:PORT".
int ResolveEndpoint(Context &ctx, const std::string &target, Endpoint &endpoint, bool *isMac) {
    *isMac = ParseMac(target, nullptr);
    if (*isMac)
        return kExitOk;
    std::string ip = target;
    int port = kDefaultHttpPort;
    const auto colon = target.rfind(':');
    if (colon != std::string::npos) {
        ip = target.substr(0, colon);
        if (!ParseNumber(target.substr(colon + 1), 1, 65535, &port)) {
            ctx.console.error("port must be 1 to 65535: " + target);
            return kExitUsage;
        }
    }
    if (!IsDottedIPv4(ip)) {
        ctx.console.error("not a MAC address or IPv4 address: " + target);
        return kExitUsage;
    }
    endpoint.host = ip;
    endpoint.port = port;
    return kExitOk;
}

} // namespace

void TransferCommand::DeclareShared(CommandLine &cl) {
    cl.addHttpLogin();
    DeviceCommand::DeclareShared(cl);
}

// The web server login: --http-user with the password from any of its
// sources.
int TransferCommand::ReadShared(CommandLine &cl, Context &ctx) {
    login.user = cl.value("http-user");
    bool found = false;
    std::string error;
    if (!ReadPassword(cl.parser, kHttpPassword, !login.user.empty(), &login.password, &found,
                      &error)) {
        ctx.console.error(error);
        return kExitUsage;
    }
    if (login.user.size() > kCredentialMax) {
        ctx.console.error("--http-user is longer than " + std::to_string(kCredentialMax) +
                          " bytes, more than a device keeps");
        return kExitUsage;
    }
    if (login.user.empty() && (cl.isSet("http-password") || cl.isSet("http-password-file"))) {
        ctx.console.error("a web server password needs --http-user");
        return kExitUsage;
    }
    if (login.user.empty())
        login.password.clear(); // KELVO_HTTP_PASSWORD alone sends nothing
    return DeviceCommand::ReadShared(cl, ctx);
}

int TransferCommand::TransferTarget(Context &ctx, const std::string &target, Needs needs,
                                    Endpoint &endpoint, std::string *name) const {
    bool isMac = false;
    if (const int rc = ResolveEndpoint(ctx, target, endpoint, &isMac); rc != kExitOk || !isMac)
        return rc;
    if (!login.user.empty())
        if (const int rc = PasswordAllowed(ctx, "the web server password"); rc != kExitOk)
            return rc;
    qvudps_module device{};
    if (const int rc = FindDevice(ctx, target, ctx.names, device); rc != kExitOk)
        return rc;
    endpoint.host = FieldText(device.ip);
    endpoint.port = device.port;
    if (name)
        *name = FieldText(device.name);
    if (needs == Needs::WebInterface && !device.web_supported) {
        ctx.console.error(FieldText(device.mac) + ": this device has no web interface");
        return kExitUsage;
    }
    if (needs == Needs::ConfigDocument && !SupportsConfigFiles(device.type)) {
        ctx.console.error(FieldText(device.mac) + ": device type " + std::to_string(device.type) +
                          " keeps no configuration document");
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace kelvo::cli
