// kelvo-relay on Windows: a console program stopped by Ctrl+C, or the
// service "kelvo-relay" of the service manager (--service), which
// --install-service registers and starts and --uninstall-service stops and
// removes. The service logs to the Windows event log (source kelvo-relay).
#include "program.h"
#include "relay_net.h"

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace kelvo::relay {

namespace {

constexpr wchar_t kService[] = L"kelvo-relay";
constexpr wchar_t kDisplayName[] = L"Kelvo relay";
constexpr wchar_t kDescription[] =
    L"Relays Kelvo's UDP searches and setups to the devices on every up network adapter and "
    L"their replies back to Kelvo on this PC.";
constexpr wchar_t kAccount[] = L"NT AUTHORITY\\LocalService";
constexpr wchar_t kEventSource[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\kelvo-relay";
// How long a start or stop may take before the caller gives up on it.
constexpr auto kStateWait = std::chrono::seconds(15);

HANDLE stop_event = nullptr;

BOOL WINAPI on_console(DWORD) {
    SetEvent(stop_event);
    return TRUE;
}

int fail(const std::string &what) {
    const std::string why = net::error_text();
    std::fprintf(stderr, "kelvo-relay: %s: %s\n", what.c_str(), why.c_str());
    return 1;
}

// The relay's log lines as events of the application log: a pipe whose
// reader thread reports every line.
class EventLog {
public:
    EventLog() {
        source_ = RegisterEventSourceW(nullptr, kService);
        HANDLE read = nullptr, write = nullptr;
        if (!CreatePipe(&read, &write, nullptr, 64 * 1024))
            return;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(write), _O_WRONLY | _O_TEXT);
        file_ = fd < 0 ? nullptr : _fdopen(fd, "w");
        if (!file_) {
            if (fd >= 0)
                _close(fd);
            else
                CloseHandle(write);
            CloseHandle(read);
            return;
        }
        reader_ = std::thread([this, read] {
            std::string line;
            char buf[4096];
            DWORD n = 0;
            while (ReadFile(read, buf, sizeof buf, &n, nullptr) && n > 0)
                for (DWORD i = 0; i < n; ++i) {
                    if (buf[i] == '\n' || line.size() >= 2000) {
                        report(line);
                        line.clear();
                    }
                    if (buf[i] != '\n' && buf[i] != '\r')
                        line += buf[i];
                }
            if (!line.empty())
                report(line);
            CloseHandle(read);
        });
    }
    ~EventLog() {
        if (file_)
            std::fclose(file_);
        if (reader_.joinable())
            reader_.join();
        if (source_)
            DeregisterEventSource(source_);
    }
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;
    std::FILE *file() const { return file_ ? file_ : stderr; }

private:
    void report(const std::string &line) {
        if (!source_ || line.empty())
            return;
        const bool error =
            line.find("error") != std::string::npos || line.find("cannot") != std::string::npos;
        const char *strings[] = {line.c_str()};
        ReportEventA(source_, error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, 0,
                     nullptr, 1, 0, strings, nullptr);
    }
    HANDLE source_ = nullptr;
    std::FILE *file_ = nullptr;
    std::thread reader_;
};

// ---- the service ----------------------------------------------------------

Options service_options;
SERVICE_STATUS_HANDLE status_handle = nullptr;
std::mutex status_lock;
SERVICE_STATUS status{};

void report(DWORD state, int exit_code = 0) {
    std::lock_guard<std::mutex> hold(status_lock);
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exit_code ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exit_code);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = pending ? 5000 : 0;
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI on_control(DWORD control, DWORD, void *, void *) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        // The relay's loop wakes at once on the event and ends within one
        // round of reading.
        report(SERVICE_STOP_PENDING);
        SetEvent(stop_event);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI service_main(DWORD, wchar_t **) {
    status_handle = RegisterServiceCtrlHandlerExW(kService, on_control, nullptr);
    if (!status_handle)
        return;
    report(SERVICE_START_PENDING);
    int rc = 0;
    {
        EventLog log;
        Options options = service_options;
        options.log = log.file();
        rc = run_relay(options, stop_event, -1, log.file(), [] { report(SERVICE_RUNNING); });
    }
    report(SERVICE_STOPPED, rc);
}

// ---- installing -----------------------------------------------------------

struct ScHandle {
    SC_HANDLE h = nullptr;
    explicit ScHandle(SC_HANDLE handle) : h(handle) {}
    ~ScHandle() {
        if (h)
            CloseServiceHandle(h);
    }
    ScHandle(const ScHandle &) = delete;
    ScHandle &operator=(const ScHandle &) = delete;
};

// Waits, bounded, until the service leaves its pending state; its state then.
DWORD settle(SC_HANDLE service) {
    SERVICE_STATUS s{};
    const auto until = std::chrono::steady_clock::now() + kStateWait;
    while (
        QueryServiceStatus(service, &s) &&
        (s.dwCurrentState == SERVICE_START_PENDING || s.dwCurrentState == SERVICE_STOP_PENDING) &&
        std::chrono::steady_clock::now() < until)
        Sleep(100);
    return s.dwCurrentState;
}

bool stop_service(SC_HANDLE service) {
    SERVICE_STATUS s{};
    if (!QueryServiceStatus(service, &s))
        return false;
    if (s.dwCurrentState == SERVICE_STOPPED)
        return true;
    if (s.dwCurrentState != SERVICE_STOP_PENDING &&
        !ControlService(service, SERVICE_CONTROL_STOP, &s))
        return false;
    return settle(service) == SERVICE_STOPPED;
}

std::wstring wide(const QString &text) {
    return text.toStdWString();
}

// A command-line argument as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring &arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int install(const QStringList &relay_arguments) {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return fail("cannot tell this program's path");
    path.resize(n);
    std::wstring command = quoted(path) + L" --service";
    for (const auto &a : relay_arguments)
        command += L" " + quoted(wide(a));
    ScHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager.h)
        return fail("cannot open the service manager (run as administrator)");
    ScHandle service(CreateServiceW(manager.h, kService, kDisplayName, SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                    SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                    nullptr, kAccount, nullptr));
    if (!service.h) {
        if (GetLastError() != ERROR_SERVICE_EXISTS)
            return fail("cannot register the service");
        // Installed before: it restarts with this program and these options.
        service.h = OpenServiceW(manager.h, kService, SERVICE_ALL_ACCESS);
        if (!service.h || !stop_service(service.h) ||
            !ChangeServiceConfigW(service.h, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                  kAccount, nullptr, kDisplayName))
            return fail("cannot change the registered service");
    }
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t *>(kDescription)};
    ChangeServiceConfig2W(service.h, SERVICE_CONFIG_DESCRIPTION, &description);
    // A relay that ends by a fault comes back after five seconds.
    SC_ACTION restart[2] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}};
    SERVICE_FAILURE_ACTIONSW failure{86400, nullptr, nullptr, 2, restart};
    ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSource, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&types),
                       sizeof types);
        RegCloseKey(key);
    }
    if (!StartServiceW(service.h, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return fail("the service kelvo-relay is registered but does not start");
    SERVICE_STATUS s{};
    if (settle(service.h) != SERVICE_RUNNING && QueryServiceStatus(service.h, &s)) {
        std::fprintf(stderr,
                     "kelvo-relay: the service kelvo-relay is registered but stopped (exit code "
                     "%lu); the application event log says why\n",
                     static_cast<unsigned long>(s.dwServiceSpecificExitCode));
        return 1;
    }
    std::printf("kelvo-relay: service kelvo-relay installed and running\n");
    return 0;
}

int uninstall() {
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.h)
        return fail("cannot open the service manager (run as administrator)");
    ScHandle service(
        OpenServiceW(manager.h, kService, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service.h) {
        if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST)
            return fail("cannot open the service kelvo-relay");
        std::printf("kelvo-relay: no service kelvo-relay is installed\n");
        return 0;
    }
    if (!stop_service(service.h))
        return fail("the service kelvo-relay does not stop");
    if (!DeleteService(service.h) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return fail("cannot remove the service kelvo-relay");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSource);
    std::printf("kelvo-relay: service kelvo-relay stopped and removed\n");
    return 0;
}

} // namespace

QList<QCommandLineOption> platform_options() {
    return {
        {"service", "Run as the Windows service (the service manager starts it so)."},
        {"install-service",
         "Register the service kelvo-relay (automatic start, LocalService) with the other "
         "options given, and start it."},
        {"uninstall-service", "Stop and remove the service kelvo-relay."},
    };
}

int serve(const Options &options, const QStringList &given, const QStringList &relay_arguments) {
    if (given.size() > 1) {
        std::fprintf(stderr, "kelvo-relay: --%s and --%s exclude each other\n",
                     qPrintable(given[0]), qPrintable(given[1]));
        return 2;
    }
    if (given.contains("install-service"))
        return install(relay_arguments);
    if (given.contains("uninstall-service"))
        return uninstall();
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop_event)
        return fail("cannot create an event");
    if (given.contains("service")) {
        service_options = options;
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t *>(kService), service_main},
                                        {nullptr, nullptr}};
        if (StartServiceCtrlDispatcherW(table))
            return 0;
        if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            std::fprintf(stderr, "kelvo-relay: --service is for the service manager; without it "
                                 "the relay serves from this console\n");
            return 2;
        }
        return fail("cannot reach the service manager");
    }
    SetConsoleCtrlHandler(on_console, TRUE);
    return run_relay(options, stop_event, -1, stdout);
}

} // namespace kelvo::relay
