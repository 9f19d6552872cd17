#include "transfer.h"

#include "devicetext.h"
#include "mvxapi.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

namespace kelvo::cli {

using namespace mvxapi;

namespace {

// Longest a single-device transfer may take: the library gives up on a
// silent device after about 10 s per request, an upload makes two requests.
constexpr int kSessionTimeoutMs = 60000;

std::string ErrorText(const TSdkError &e) {
    std::string text = e.text.empty() ? "error " + std::to_string(e.code) : e.text;
    // The system's text only helps where a system call failed (files, sockets).
    if (e.sys_errno != 0 && !e.sys_text.empty() && (e.code < 46 || e.code > 71))
        text += " (" + e.sys_text + ")";
    return text;
}

std::string RecordText(const qvxml_error_record &r) {
    return ErrorText(TSdkError(r));
}

bool IsAuthCode(int code) {
    return code == 48 || code == 50; // "HTTP: Unauthorized", "HTTP: Forbidden"
}

// One run of the main window's transfer handlers over a session.
class SessionRun {
public:
    enum Mode { Download, Upload, Values };

    SessionRun(Mode mode_, Console &console_) : mode(mode_), console(console_), session(this) {
        session.OnOpen =
            new EventHandler<SessionRun, TSdkSimpleEventArgs>(this, &SessionRun::XmlOpenEvent);
        session.OnSetup =
            new EventHandler<SessionRun, TIoXmlSetupEventArgs>(this, &SessionRun::XmlSetupEvent);
        session.OnSetupSent = new EventHandler<SessionRun, TIoXmlSetupEventArgs>(
            this, &SessionRun::XmlSetupSentEvent);
        session.OnValues =
            new EventHandler<SessionRun, TIoXmlValuesEventArgs>(this, &SessionRun::XmlValuesEvent);
        session.OnError =
            new EventHandler<SessionRun, TSdkErrorEventArgs>(this, &SessionRun::XmlErrorEvent);
    }

    int run(const Endpoint &device, const HttpLogin &login, std::string *error) {
        session.host = device.host;
        session.port = device.port;
        session.user = login.user;
        session.password = login.password;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [this] { Tick(); });
        ticker.start(100);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [this] {
            Finish(kExitFailed, "no answer from " + session.host + ":" +
                                    std::to_string(session.port) + " within " +
                                    std::to_string(kSessionTimeoutMs / 1000) + " seconds");
        });
        deadline.start(kSessionTimeoutMs);
        const int rc = session.Open();
        if (rc == -3)
            Finish(kExitFailed, "the XML library did not start a session within 2 seconds");
        else if (rc != 0 && !finished) {
            TSdkError e;
            session.GetSdkError(e, true);
            Finish(kExitFailed, "cannot open a session: " + ErrorText(e));
        }
        if (!finished)
            loop.exec();
        ticker.stop();
        session.Close();
        if (exitCode != kExitOk && error)
            *error = message;
        return exitCode;
    }

    std::string path;
    bool filter = true;
    ValuesResult *values = nullptr;

private:
    void Finish(int code, const std::string &text) {
        if (finished)
            return;
        finished = true;
        exitCode = code;
        message = text;
        loop.quit();
    }

    const char *Stage() const {
        return session.GetState() == xsSendSetup ? "Uploading configuration... "
               : mode == Values                  ? "Reading values... "
                                                 : "Downloading configuration... ";
    }

    void Tick() {
        const int32_t s = session.GetState();
        if (s == xsSetup || s == xsSendSetup || s == xsValues)
            console.progress(Stage(), std::string(1, Spinner(++spin)));
    }

    void XmlOpenEvent(TSdkSimpleEventArgs *) {
        const int rc = mode == Values ? session.GetValues() : session.GetSetup();
        if (rc != 0) {
            TSdkError e;
            session.GetSdkError(e, false);
            Finish(kExitFailed, std::string(Stage()) + ErrorText(e));
        }
    }

    void XmlSetupEvent(TIoXmlSetupEventArgs *) {
        if (mode == Download) {
            console.progressDone("Downloading configuration... done");
            if (session.GetSetupToFile(path.c_str()) != 0) {
                TSdkError e;
                session.GetSdkError(e, false);
                Finish(kExitFailed, "cannot write " + path + ": " + ErrorText(e));
                return;
            }
            Finish(kExitOk, "");
            return;
        }
        switch (session.SendSetupFile(path.c_str(), filter)) {
        case 0:
            return; // the device's answer arrives as OnSetupSent or OnError
        case -8:
            Finish(kExitFailed, "Uploading configuration... Invalid XML file");
            return;
        case -5:
            Finish(kExitFailed, "cannot open " + path);
            return;
        case -6:
            Finish(kExitFailed, "not enough memory for " + path);
            return;
        case -7:
            Finish(kExitFailed, "cannot read " + path + " (or it is empty)");
            return;
        default: {
            TSdkError e;
            session.GetSdkError(e, false);
            Finish(kExitFailed, "Uploading configuration... " + ErrorText(e));
        }
        }
    }

    void XmlSetupSentEvent(TIoXmlSetupEventArgs *) {
        console.progressDone("Uploading configuration... done");
        Finish(kExitOk, "");
    }

    void XmlValuesEvent(TIoXmlValuesEventArgs *args) {
        if (values && args->values && args->values_counts) {
            values->values = std::make_unique<qvxml_values>(*args->values);
            values->counts = std::make_unique<qvxml_values_counts>(*args->values_counts);
        }
        console.progressDone("Reading values... done");
        Finish(kExitOk, "");
    }

    void XmlErrorEvent(TSdkErrorEventArgs *args) {
        const char *stage = args->operation == xsSetup       ? "Downloading configuration... "
                            : args->operation == xsSendSetup ? "Uploading configuration... "
                            : args->operation == xsValues    ? "Reading values... "
                                                             : "XML error: ";
        TSdkError e;
        e.code = args->code;
        e.text = args->text;
        e.sys_errno = args->sys_errno;
        e.sys_text = args->sys_text;
        std::string text = stage + ErrorText(e);
        if (IsAuthCode(args->code)) {
            text += session.user.empty() ? " (give --http-user and --http-password)"
                                         : " (the device refused the credentials)";
            Finish(kExitAuth, text);
            return;
        }
        Finish(kExitFailed, text);
    }

    Mode mode;
    Console &console;
    TIoXml session;
    QEventLoop loop;
    bool finished = false;
    int exitCode = kExitFailed;
    std::string message;
    unsigned spin = 0;
};

// Keeps the XML library initialised while a handle of our own is open.
struct XmlLibrary {
    XmlLibrary() { qvxml_init(); }
    ~XmlLibrary() { qvxml_uninit(); }
    XmlLibrary(const XmlLibrary &) = delete;
    XmlLibrary &operator=(const XmlLibrary &) = delete;
};

struct BackupProgress {
    std::atomic<int> done{0};
    std::atomic<bool> roundDone{false};
};

void OnModuleSetup(int, void *user, int, qvxml_setup *, qvxml_setup_counts *) {
    static_cast<BackupProgress *>(user)->done++;
}

void OnAllSetup(int, void *user) {
    static_cast<BackupProgress *>(user)->roundDone = true;
}

template <std::size_t N> void CopyField(char (&field)[N], const std::string &text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// One multi-device handle for `count` items from `first`; fills their results.
bool BackupChunk(BackupItem *items, int count, const std::string &folder, const HttpLogin &login,
                 Console &console, int doneBefore, int total, std::string *error) {
    BackupProgress progress;
    const int h = qvxml_open_many(&progress);
    qvxml_error_record record{};
    if (h == -1) {
        qvxml_error(0, &record);
        *error = "cannot open a multi-device handle: " + RecordText(record);
        return false;
    }
    if (qvxml_wait_finish(h, 0, 3) != 0) {
        qvxml_error(0, &record);
        qvxml_close(h);
        *error = "the multi-device handle did not start: " + RecordText(record);
        return false;
    }
    qvxml_options options;
    qvxml_clr_settings_struct(&options);
    CopyField(options.get_user, login.user);
    CopyField(options.get_password, login.password);
    std::vector<int> index(static_cast<size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        index[static_cast<size_t>(i)] =
            qvxml_add_module(h, items[i].device.host.c_str(), items[i].device.port, &options);
        if (index[static_cast<size_t>(i)] == -1) {
            qvxml_error(h, &record);
            items[i].error = RecordText(record);
        }
    }
    if (std::count_if(index.begin(), index.end(), [](int m) { return m >= 0; }) == 0) {
        qvxml_close(h);
        return true; // every item already carries its error
    }
    qvxml_callbacks callbacks;
    qvxml_clr_callback(h, &callbacks);
    callbacks.setup_done = OnModuleSetup;
    callbacks.all_setup_done = OnAllSetup;
    qvxml_callback(h, &callbacks);
    if (qvxml_get_setup(h) != 0) {
        qvxml_error(h, &record);
        qvxml_close(h);
        *error = "cannot request the setup documents: " + RecordText(record);
        return false;
    }
    // A device that accepts the connection and never answers costs about
    // 12 s; the handle serves its modules one after the other.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10 + 15 * count);
    unsigned spin = 0;
    while (!(progress.roundDone && qvxml_finish(h, 4) == 0)) {
        if (std::chrono::steady_clock::now() > deadline) {
            qvxml_close(h);
            *error = "the devices did not all answer in time";
            return false;
        }
        console.progress("Downloading configuration... ",
                         std::to_string(doneBefore + progress.done) + "/" + std::to_string(total) +
                             " " + Spinner(++spin));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (int i = 0; i < count; ++i) {
        const int m = index[static_cast<size_t>(i)];
        if (m < 0)
            continue;
        const std::string path = (std::filesystem::path(folder) / items[i].fileName).string();
        if (qvxml_get_setup_to_file_many(h, m, path.c_str()) != 0) {
            qvxml_error_many(h, m, &record);
            if (record.code == 0 || record.code == 6 || record.code == 7 || record.code == 9)
                qvxml_error(h, &record); // a file error is recorded in the handle
            items[i].error = RecordText(record);
            if (IsAuthCode(record.code) && login.user.empty())
                items[i].error += " (give --http-user and --http-password)";
            continue;
        }
        std::error_code ec;
        items[i].bytes = static_cast<long>(std::filesystem::file_size(path, ec));
        items[i].saved = true;
    }
    qvxml_close(h);
    return true;
}

} // namespace

int DownloadConfig(const Endpoint &device, const std::string &path, const HttpLogin &login,
                   Console &console, std::string *error) {
    SessionRun run(SessionRun::Download, console);
    run.path = path;
    return run.run(device, login, error);
}

int UploadConfig(const Endpoint &device, const std::string &path, bool filter,
                 const HttpLogin &login, Console &console, std::string *error) {
    SessionRun run(SessionRun::Upload, console);
    run.path = path;
    run.filter = filter;
    return run.run(device, login, error);
}

int FetchValues(const Endpoint &device, const HttpLogin &login, Console &console,
                ValuesResult &result, std::string *error) {
    SessionRun run(SessionRun::Values, console);
    run.values = &result;
    const int rc = run.run(device, login, error);
    if (rc == kExitOk && !result.values) {
        if (error)
            *error = "the device's values document could not be read";
        return kExitFailed;
    }
    return rc;
}

bool BackupConfigs(std::vector<BackupItem> &items, const std::string &folder,
                   const HttpLogin &login, Console &console, std::string *error) {
    XmlLibrary library;
    const int total = static_cast<int>(items.size());
    for (int first = 0; first < total; first += QVXML_MODULES_MAX) {
        const int count = std::min(QVXML_MODULES_MAX, total - first);
        if (!BackupChunk(items.data() + first, count, folder, login, console, first, total, error))
            return false;
    }
    console.progressDone("Downloading configuration... done");
    return true;
}

std::vector<std::string> BackupFileNames(const std::vector<qvudps_module> &devices) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const auto &m : devices) {
        std::string base = SuggestedFileName(FieldText(m.name), FieldText(m.ip), m.port);
        std::string name = SafeXmlFileName(base);
        if (taken.count(name)) {
            std::string mac = FieldText(m.mac);
            std::erase(mac, ':');
            name = SafeXmlFileName(name.substr(0, name.size() - 4) + "_" + mac);
        }
        taken.insert(name);
        names.push_back(name);
    }
    return names;
}

} // namespace kelvo::cli
