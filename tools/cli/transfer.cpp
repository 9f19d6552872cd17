#include "transfer.h"

#include "devicetext.h"
#include "hostsecrets.h"
#include "mvxapi.h"
#include "qvfile.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

namespace kelvo::cli {

using namespace mvxapi;

namespace {

// Longest a session transfer may take: the library gives up on a silent
// device after about 10 s per request, an upload makes two requests.
constexpr int kSessionTimeoutMs = 60000;
// What a session's Open returns when the library did not bring its handle up
// within 2 s.
constexpr int kOpenTimedOut = -3;

// The system's text only where a system call failed (files, sockets); the
// library keeps errno from earlier calls in every record, where it would
// only mislead.
bool SystemCallFailed(int code) {
    return (code >= 6 && code <= 9) || code == 26 || code == 27 || code == 29 || code == 32 ||
           code == 34 || code == 35 || code == 82 || code == 83 || code == 84 || code == 88;
}

std::string DescribeError(int code, int sysErrno, const std::string &text,
                          const std::string &sysText) {
    if (code == 28) {
        switch (sysErrno) {
        case ECONNREFUSED:
            return "the device refused the connection";
        case ETIMEDOUT:
        case EINPROGRESS:
            return "the device did not accept the connection in time";
        case EHOSTUNREACH:
        case ENETUNREACH:
            return "the device cannot be reached (" + sysText + ")";
        default:
            return "cannot connect to the device (" + text + ")";
        }
    }
    if (code == 19 || code == 30 || code == 31 || code == 33)
        return "the device did not answer in time (" + text + ")";
    std::string out = text.empty() ? "error " + std::to_string(code) : text;
    if (SystemCallFailed(code) && sysErrno != 0 && !sysText.empty())
        out += " (" + sysText + ")";
    return out;
}

std::string ErrorText(const TSdkError &e) {
    return DescribeError(e.code, e.sys_errno, e.text, e.sys_text);
}

std::string RecordText(const qvxml_error_record &r) {
    return DescribeError(r.code, r.sys_errno, r.text, r.sys_text);
}

bool IsAuthCode(int code) {
    return code == 48 || code == 50; // "HTTP: Unauthorized", "HTTP: Forbidden"
}

std::string AuthHint(const HttpLogin &login) {
    return login.user.empty()
               ? " (give --http-user, and the password in KELVO_HTTP_PASSWORD or a file)"
               : " (the device refused the credentials)";
}

// One run of the main window's upload handlers over a session (it reads the
// device's setup first, for the sensor filter).
class SessionRun {
public:
    explicit SessionRun(Console &console_) : console(console_), session(this) {
        session.OnOpen =
            new EventHandler<SessionRun, TSdkSimpleEventArgs>(this, &SessionRun::XmlOpenEvent);
        session.OnSetup =
            new EventHandler<SessionRun, TIoXmlSetupEventArgs>(this, &SessionRun::XmlSetupEvent);
        session.OnSetupSent = new EventHandler<SessionRun, TIoXmlSetupEventArgs>(
            this, &SessionRun::XmlSetupSentEvent);
        session.OnError =
            new EventHandler<SessionRun, TSdkErrorEventArgs>(this, &SessionRun::XmlErrorEvent);
    }

    int run(const Endpoint &device, const HttpLogin &login_, std::string *error) {
        login = login_;
        session.host = device.host;
        session.port = device.port;
        session.user = login.user;
        session.password.assign(login.password.view());
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [this] { Tick(); });
        ticker.start(100);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [this] {
            Finish(kExitFailed, "the device at " + session.host + ":" +
                                    std::to_string(session.port) + " did not answer within " +
                                    std::to_string(kSessionTimeoutMs / 1000) + " seconds");
        });
        deadline.start(kSessionTimeoutMs);
        const int rc = session.Open();
        if (rc == kOpenTimedOut)
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
        host::WipeString(session.password);
        if (exitCode != kExitOk && error)
            *error = message;
        return exitCode;
    }

    std::string path;
    bool filter = true;

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
                                                 : "Downloading configuration... ";
    }

    void Tick() {
        const int32_t s = session.GetState();
        if (s == xsSetup || s == xsSendSetup)
            console.progress(Stage(), std::string(1, Spinner(++spin)));
    }

    void XmlOpenEvent(TSdkSimpleEventArgs *) {
        if (session.GetSetup() != 0) {
            TSdkError e;
            session.GetSdkError(e, false);
            Finish(kExitFailed, std::string(Stage()) + ErrorText(e));
        }
    }

    void XmlSetupEvent(TIoXmlSetupEventArgs *) {
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

    void XmlErrorEvent(TSdkErrorEventArgs *args) {
        const char *stage = args->operation == xsSetup       ? "Downloading configuration... "
                            : args->operation == xsSendSetup ? "Uploading configuration... "
                                                             : "XML error: ";
        std::string text =
            stage + DescribeError(args->code, args->sys_errno, args->text, args->sys_text);
        if (IsAuthCode(args->code)) {
            Finish(kExitAuth, text + AuthHint(login));
            return;
        }
        Finish(kExitFailed, text);
    }

    Console &console;
    TIoXml session;
    QEventLoop loop;
    HttpLogin login;
    bool finished = false;
    int exitCode = kExitFailed;
    std::string message;
    unsigned spin = 0;
};

// Keeps the XML library initialised while handles of our own are open.
struct XmlLibrary {
    XmlLibrary() { qvxml_init(); }
    ~XmlLibrary() { qvxml_uninit(); }
    XmlLibrary(const XmlLibrary &) = delete;
    XmlLibrary &operator=(const XmlLibrary &) = delete;
};

// Woken by the handles' workers whenever a document request ends.
struct Wakeup {
    std::mutex mutex;
    std::condition_variable cv;
    unsigned events = 0;
};

void OnSetupDone(int, void *user, int, qvxml_setup *, qvxml_setup_counts *) {
    auto *w = static_cast<Wakeup *>(user);
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        ++w->events;
    }
    w->cv.notify_one();
}

template <std::size_t N> void CopyField(char (&field)[N], const std::string &text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// How many names a backup tries for one document before it gives up.
constexpr int kNameTries = 100;

// Writes `document` to `item.path` through a temporary file beside it. In a
// backup a name taken meanwhile (another run into the same folder, a file of
// the same bytes on disk) moves on to the next candidate: the check and the
// creation are one step, so nothing is ever replaced.
void WriteDocument(SaveItem &item, const std::string &document, const SaveOptions &options) {
    const auto mode = options.overwrite ? qv::write_mode::replace : qv::write_mode::create_new;
    std::filesystem::path target(item.path);
    qv::write_result r;
    for (int n = 0; n <= kNameTries; ++n) {
        if (n > 0) {
            if (item.nameBase.empty() || r.error != EEXIST)
                break;
            const std::string next = BackupNameCandidate(item.nameBase, item.mac, n);
            if (next == target.filename().string())
                continue;
            target.replace_filename(next);
        }
        // The document holds the device's passwords.
        r = qv::write_file(target.string().c_str(), document.data(), document.size(), mode, 0600);
        if (r.ok()) {
            item.path = target.string();
            item.saved = true;
            item.bytes = static_cast<long>(document.size());
            item.code = kExitOk;
            return;
        }
    }
    if (!item.nameBase.empty() && r.error == EEXIST)
        item.error = "no free file name for " + item.nameBase + " after " +
                     std::to_string(kNameTries) + " tries";
    else if (r.error == EEXIST)
        item.error = item.path + " exists already (--force replaces it)";
    else
        item.error = qv::write_error_text(item.path, r);
}

// The document of a handle whose setup request has ended, checked and saved.
void CollectDocument(int handle, SaveItem &item, const SaveOptions &options) {
    std::string document(QVXML_BUFFER_SIZE, '\0');
    int length = 0;
    if (qvxml_get_setup_xml_copy(handle, document.data(), &length) != 0) {
        qvxml_error_record record{};
        qvxml_error(handle, &record);
        item.error = RecordText(record);
        if (IsAuthCode(record.code)) {
            item.error += AuthHint(options.login);
            item.code = kExitAuth;
        }
        return;
    }
    document.resize(static_cast<size_t>(std::clamp(length, 0, QVXML_BUFFER_SIZE)));
    const std::string problem = XmlProblem(document);
    if (!problem.empty()) {
        item.error = "the device's document is incomplete or not well-formed XML: " + problem;
        return;
    }
    if (item.inMemory) {
        item.bytes = static_cast<long>(document.size());
        item.document = std::move(document);
        item.saved = true;
        item.code = kExitOk;
        return;
    }
    WriteDocument(item, document, options);
}

// Opens a handle for `item` and asks for its setup document; -1 with the
// item's error when that fails.
int StartRequest(SaveItem &item, const SaveOptions &options, Wakeup &wakeup) {
    qvxml_options o;
    qvxml_clr_settings_struct(&o);
    CopyField(o.get_user, options.login.user);
    // ReadPassword refused anything longer than the field holds.
    const std::string_view password = options.login.password.view();
    const std::size_t n = std::min(password.size(), sizeof o.get_password - 1);
    std::memcpy(o.get_password, password.data(), n);
    o.get_password[n] = '\0';
    o.callbacks.setup_done = OnSetupDone;
    qvxml_error_record record{};
    const int h = qvxml_open(item.device.host.c_str(), item.device.port, &o, &wakeup);
    host::WipeMemory(o.get_password, sizeof o.get_password); // the handle keeps its own copy
    if (h == -1) {
        qvxml_error(0, &record);
        item.error = "cannot open a handle: " + RecordText(record);
        return -1;
    }
    if (qvxml_wait_finish(h, 0, 3) != 0 || qvxml_get_setup(h) != 0) {
        qvxml_error(h, &record);
        if (record.code == 0)
            qvxml_error(0, &record);
        item.error = "cannot request the document: " + RecordText(record);
        qvxml_close(h);
        return -1;
    }
    return h;
}

// One device from the request to the saved file, on a thread of its own.
void ServeItem(SaveItem &item, const SaveOptions &options) {
    auto wakeup = std::make_unique<Wakeup>();
    const int h = StartRequest(item, options, *wakeup);
    if (h == -1)
        return;
    bool ended = false;
    {
        std::unique_lock<std::mutex> lock(wakeup->mutex);
        ended = wakeup->cv.wait_for(lock, std::chrono::seconds(kAnswerSeconds),
                                    [&] { return wakeup->events > 0; });
    }
    // A failed request calls back just before it is marked done.
    if (ended && qvxml_wait_finish(h, 4, 2) == 0)
        CollectDocument(h, item, options);
    else
        item.error =
            "the device did not answer within " + std::to_string(kAnswerSeconds) + " seconds";
    // Up to a second while the library still waits on the device; a worker
    // that did not end may still call back, so its wake-up object stays.
    if (qvxml_close(h) != 0)
        static_cast<void>(wakeup.release());
}

} // namespace

std::string XmlProblem(std::string_view text) {
    QXmlStreamReader reader(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    bool root = false;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            root = true;
    }
    if (!reader.hasError() && root)
        return {};
    if (!reader.hasError())
        return "no root element";
    return "line " + std::to_string(reader.lineNumber()) + ", column " +
           std::to_string(reader.columnNumber()) + ": " + reader.errorString().toStdString();
}

void SaveSetupDocuments(std::vector<SaveItem> &items, const SaveOptions &options,
                        Console &console) {
    XmlLibrary library;
    // Each thread serves one device at a time, so a device that does not
    // answer holds up only its own thread.
    std::mutex mutex;
    std::condition_variable cv;
    std::size_t next = 0, done = 0;
    auto serve = [&] {
        for (;;) {
            std::size_t i;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (next == items.size())
                    return;
                i = next++;
            }
            ServeItem(items[i], options);
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++done;
            }
            cv.notify_one();
        }
    };
    const std::size_t threads =
        std::min(items.size(), static_cast<std::size_t>(std::clamp(options.parallel, 1, 64)));
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t)
        pool.emplace_back(serve);
    unsigned spin = 0;
    for (std::unique_lock<std::mutex> lock(mutex); done < items.size();) {
        const std::string count = std::to_string(done) + "/" + std::to_string(items.size()) + " ";
        lock.unlock();
        console.progress("Downloading configuration... ",
                         (options.showCount ? count : std::string()) + Spinner(++spin));
        lock.lock();
        cv.wait_for(lock, std::chrono::milliseconds(100));
    }
    for (auto &t : pool)
        t.join();
    const auto saved = static_cast<std::size_t>(
        std::count_if(items.begin(), items.end(), [](const SaveItem &i) { return i.saved; }));
    console.progressDone(options.showCount
                             ? "Downloading configuration... " + std::to_string(saved) + " of " +
                                   std::to_string(items.size()) + " saved"
                         : saved == items.size() ? "Downloading configuration... done"
                                                 : "Downloading configuration... failed");
}

bool CheckUploadFile(const std::string &path, std::string *error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
        *error = "cannot read " + path + (ec ? ": " + ec.message() : std::string());
        return false;
    }
    if (size == 0) {
        *error = path + " is empty";
        return false;
    }
    if (size > kUploadFileMax) {
        *error = path + " is " + std::to_string(size) +
                 " bytes, larger than any device configuration (16 MiB at most); not sent";
        return false;
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray text = file.read(static_cast<qint64>(kUploadFileMax));
    const std::string problem = XmlProblem(std::string_view(text.constData(), text.size()));
    if (!problem.empty()) {
        *error = path + " is not well-formed XML (" + problem + "); nothing was sent";
        return false;
    }
    return true;
}

int UploadConfig(const Endpoint &device, const std::string &path, bool filter,
                 const HttpLogin &login, Console &console, std::string *error) {
    SessionRun run(console);
    run.path = path;
    run.filter = filter;
    return run.run(device, login, error);
}

int FetchValues(const Endpoint &device, const HttpLogin &login, Console &console,
                ValuesResult &result, std::string *error) {
    // The library's values request carries no credentials; this one does.
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QUrl url;
    url.setScheme("http");
    url.setHost(QString::fromStdString(device.host));
    url.setPort(device.port);
    url.setPath("/values.xml");
    QNetworkRequest request(url);
    request.setTransferTimeout(kAnswerSeconds * 1000);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // One request per connection, as the devices' servers work; and no retry
    // that would count as a second failed login.
    request.setRawHeader("Connection", "close");
    if (!login.user.empty()) {
        std::string pair = login.user + ":" + login.password.c_str();
        QByteArray header = "Basic " + QByteArray::fromStdString(pair).toBase64();
        host::WipeString(pair);
        request.setRawHeader("Authorization", header);
        header.fill('\0');
    }
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QByteArray body;
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] {
        body += reply->readAll();
        if (body.size() >= QVXML_BUFFER_SIZE && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    });
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer ticker;
    unsigned spin = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        console.progress("Reading values... ", std::string(1, Spinner(++spin)));
    });
    ticker.start(100);
    if (!reply->isFinished())
        loop.exec();
    ticker.stop();
    if (!tooLarge)
        body += reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    auto fail = [&](int code, const std::string &text) {
        console.progressDone("Reading values... failed");
        if (error)
            *error = "Reading values... " + text;
        return code;
    };
    if (tooLarge)
        return fail(kExitFailed, "the document is larger than " +
                                     std::to_string(QVXML_BUFFER_SIZE - 1) + " bytes");
    if (status == 401 || status == 403)
        return fail(kExitAuth,
                    "HTTP: " + std::string(status == 401 ? "Unauthorized" : "Forbidden") +
                        AuthHint(login));
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::ConnectionRefusedError:
        return fail(kExitFailed, "the device refused the connection");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return fail(kExitFailed, "the device did not answer within " +
                                     std::to_string(kAnswerSeconds) + " seconds");
    default:
        return fail(kExitFailed, status != 0 ? "HTTP status " + std::to_string(status)
                                             : reply->errorString().toStdString());
    }
    if (status != 200)
        return fail(kExitFailed, "HTTP status " + std::to_string(status));
    const std::string problem = XmlProblem(std::string_view(body.constData(), body.size()));
    if (!problem.empty())
        return fail(kExitFailed, "the device's values document is not well-formed XML: " + problem);
    // The library parses it, as it parses what it downloads itself.
    XmlLibrary library;
    const int h = qvxml_open(device.host.c_str(), device.port, nullptr, nullptr);
    qvxml_error_record record{};
    auto values = std::make_unique<qvxml_values>();
    auto counts = std::make_unique<qvxml_values_counts>();
    const bool parsed =
        h != -1 && qvxml_wait_finish(h, 0, 3) == 0 &&
        qvxml_load_values(h, body.constData(), static_cast<int>(body.size())) == 0 &&
        qvxml_wait_finish(h, 9, 10) == 0 &&
        qvxml_get_values_cache_copy(h, values.get(), counts.get()) == 0;
    if (!parsed)
        qvxml_error(h == -1 ? 0 : h, &record);
    if (h != -1)
        qvxml_close(h);
    if (!parsed)
        return fail(kExitFailed, "cannot read the values document: " + RecordText(record));
    result.values = std::move(values);
    result.counts = std::move(counts);
    console.progressDone("Reading values... done");
    return kExitOk;
}

std::string BackupNameCandidate(const std::string &name, const std::string &mac, int n) {
    if (n == 0)
        return name;
    std::string plain = mac;
    std::erase(plain, ':');
    const std::string stem = name.substr(0, name.size() - 4);
    return SafeXmlFileName(stem + "_" + plain + (n > 1 ? "_" + std::to_string(n) : ""));
}

std::vector<std::string> BackupFileNames(const std::vector<qvudps_module> &devices,
                                         const std::vector<std::string> &existing) {
    auto folded = [](std::string s) {
        for (char &c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::set<std::string> taken;
    for (const auto &name : existing)
        taken.insert(folded(name));
    std::vector<std::string> names;
    for (const auto &m : devices) {
        const std::string name =
            SafeXmlFileName(SuggestedFileName(FieldText(m.name), FieldText(m.ip), m.port));
        std::string chosen = name;
        for (int n = 1; taken.count(folded(chosen)); ++n)
            chosen = BackupNameCandidate(name, FieldText(m.mac), n);
        taken.insert(folded(chosen));
        names.push_back(chosen);
    }
    return names;
}

bool CreateBackupFolder(const std::string &folder, std::string *error) {
    std::filesystem::path path;
    for (const auto &part : std::filesystem::path(folder)) {
        path /= part;
        // Only what this run creates is made private: the folders above it
        // keep the access their owner gave them.
        std::error_code ec;
        if (std::filesystem::create_directory(path, ec)) {
            if (!host::MakePrivateFolder(path.string(), error))
                return false;
        } else if (ec) {
            *error = "cannot create the folder " + path.string() + ": " + ec.message();
            return false;
        }
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        *error = "cannot create the folder " + folder + ": it is not a folder";
        return false;
    }
    return true;
}

} // namespace kelvo::cli
