// kelvo-cli download and upload end to end, against the fleet's web servers
// and hostile ones.
#include "cli_e2e.h"

#include "http_peer.h"

using namespace kelvo::test;

TEST(CliTransfer, DownloadWritesTheDocumentByteForByte) {
    CliLab lab(Pick("127.0.128.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const std::string expected = lab.fleet->setup_xml(lab.mac(0));
    ASSERT_FALSE(expected.empty());

    const fs::path byMac = dir.path / "by-mac.xml";
    Result r = lab.run({"download", QString::fromStdString(lab.mac(0)), "-o",
                        QString::fromStdString(byMac.string()), "--no-names"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(read_file(byMac), expected));
    EXPECT_EQ(Mode(byMac), 0600); // it holds the device's passwords
    EXPECT_NE(r.out.find("wrote " + byMac.string()), std::string::npos) << r.out;

    // Without -o the device names the file: an existing one is kept unless --force.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    write_file("Thermometer 1.xml", "mine");
    r = lab.run({"download", QString::fromStdString(lab.mac(0))});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Thermometer 1.xml exists already"), std::string::npos) << r.err;
    EXPECT_EQ(read_file("Thermometer 1.xml"), "mine");
    r = lab.run({"download", QString::fromStdString(lab.mac(0)), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(read_file("Thermometer 1.xml"), expected));
    fs::current_path(cwd);

    const fs::path byIp = dir.path / "by-ip.xml";
    r = lab.run({"download", Endpoint(lab, 0), "-o", QString::fromStdString(byIp.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(SameDocument(read_file(byIp), expected));

    // A device that does not answer HTTP fails with the library's message.
    r = lab.run({"download", "127.0.128.200:9", "-o",
                 QString::fromStdString((dir.path / "none.xml").string())});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Downloading configuration... "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Transport endpoint"), std::string::npos) << r.err; // no stale errno
    EXPECT_FALSE(fs::exists(dir.path / "none.xml"));
}

TEST(CliTransfer, HostileAnswersKeepTheEarlierFile) {
    const std::string doc = "<?xml version=\"1.0\"?>\n<Root><Agent><Name>x</Name></Agent>"
                            "<SenSet><Entry><ID>1</ID></Entry></SenSet></Root>\n";
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n";
    const struct {
        const char *mode;
        HttpReply reply;
        int code;
        const char *says;
    } cases[] = {
        {"truncated", HttpReply::truncated(doc), 1, ""},
        {"chunked", HttpReply::chunked(doc), 0, ""}, // decoded: no chunk-size line in the file
        {"malformed", HttpReply::whole(ok + doc.substr(0, doc.size() / 2)), 1, ""},
        {"trickle", HttpReply::trickle(ok + doc, 100, ok.size()), 1, "did not answer"},
        {"unauthorized", HttpReply::unauthorized(), 6, "HTTP: Unauthorized"},
    };
    for (const auto &c : cases) {
        HttpPeer peer(c.reply);
        ASSERT_NE(peer.port(), 0);
        TempDir dir;
        const fs::path file = dir.path / "device.xml";
        write_file(file, "earlier");
        const Result r =
            CliLab::runRaw({"download", QString::fromStdString(peer.endpoint()), "-o", Q(file)});
        EXPECT_EQ(r.code, c.code) << c.mode << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.mode << ": " << r.err;
        EXPECT_EQ(read_file(file), c.code == 0 ? doc : "earlier") << c.mode;
        EXPECT_EQ(Entries(dir.path), 1u) << c.mode; // no partial file left behind
    }
}

TEST(CliTransfer, RefusedCredentialsAreReportedAndGivenOnesWork) {
    CliLab lab(Pick("127.0.129.1", {kSecured}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    const QString file = QString::fromStdString((dir.path / "secured.xml").string());
    Result r = lab.run({"download", Endpoint(lab, 0), "-o", file});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("HTTP: Unauthorized"), std::string::npos) << r.err;

    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin",
                 "--http-password", "secret"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(
        SameDocument(read_file(dir.path / "secured.xml"), lab.fleet->setup_xml(lab.mac(0))));

    // values sends the login too, and names a refusal as such.
    HttpPeer refusing(HttpReply::unauthorized());
    r = CliLab::runRaw({"values", QString::fromStdString(refusing.endpoint()), "--http-user",
                        "admin", "--http-password", "secret"});
    EXPECT_EQ(r.code, 6) << r.err;
    EXPECT_NE(r.err.find("the device refused the credentials"), std::string::npos) << r.err;
    ASSERT_EQ(refusing.requests().size(), 1u); // no second try: a device may count it
    EXPECT_NE(refusing.requests()[0].raw.find("Authorization: Basic YWRtaW46c2VjcmV0"),
              std::string::npos)
        << refusing.requests()[0];

    // The password from a file or from the environment, never the command line.
    const fs::path secret = dir.path / "secret.txt";
    write_file(secret, "secret\n");
    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin",
                 "--http-password-file", Q(secret)});
    EXPECT_EQ(r.code, 0) << r.err;
    setenv("KELVO_HTTP_PASSWORD", "secret", 1);
    r = lab.run({"download", Endpoint(lab, 0), "-o", file, "--http-user", "admin"});
    unsetenv("KELVO_HTTP_PASSWORD");
    EXPECT_EQ(r.code, 0) << r.err;

    // Refused before any request: nothing is cut or dropped silently.
    const std::string tooLong(100, 'p');
    for (const QStringList &args :
         {QStringList{"download", Endpoint(lab, 0), "--http-password", "secret"},
          QStringList{"values", Endpoint(lab, 0), "--http-password-file", Q(secret)},
          QStringList{"download", Endpoint(lab, 0), "--http-user", "admin", "--http-password",
                      QString::fromStdString(tooLong)},
          QStringList{"download", Endpoint(lab, 0), "--http-user", "admin", "--http-password", "a",
                      "--http-password-file", Q(secret)},
          QStringList{"backup", Q(dir.path), "--parallel", "0"}}) {
        r = CliLab::runRaw(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << "\n" << r.err;
    }
}

TEST(CliTransfer, UploadLeavesOutSensorsTheDeviceDoesNotHave) {
    CliLab lab(Pick("127.0.130.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir;
    std::string doc = lab.fleet->setup_xml(lab.mac(0));
    const auto at = doc.find("<SenSet>");
    ASSERT_NE(at, std::string::npos);
    doc.insert(at + 8, "<Entry><ID>4242</ID><Name>Ghost</Name></Entry>");
    const fs::path file = dir.path / "upload.xml";
    write_file(file, doc);

    Result r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString(file.string())});
    ASSERT_EQ(r.code, 0) << r.err;
    auto bodies = PostBodies(lab, lab.mac(0));
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0].find("4242"), std::string::npos);
    EXPECT_NE(bodies[0].find("<SenSet>"), std::string::npos);

    r = lab.run(
        {"upload", Endpoint(lab, 0), QString::fromStdString(file.string()), "--no-sensor-filter"});
    ASSERT_EQ(r.code, 0) << r.err;
    bodies = PostBodies(lab, lab.mac(0));
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_NE(bodies[1].find("4242"), std::string::npos);

    // Not a setup document: nothing is posted.
    write_file(file, "<?xml version=\"1.0\"?>\n<Other><SenSet></SenSet></Other>\n");
    r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString(file.string())});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Uploading configuration... Invalid XML file"), std::string::npos)
        << r.err;
    EXPECT_EQ(PostBodies(lab, lab.mac(0)).size(), 2u);

    r = lab.run({"upload", Endpoint(lab, 0), QString::fromStdString((dir.path / "no").string())});
    EXPECT_EQ(r.code, 1);

    // Not XML at all, or far too large to be a configuration: refused before
    // the device is even asked for its own document.
    write_file(file, "hello world\n");
    r = lab.run({"upload", Endpoint(lab, 0), Q(file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("is not well-formed XML"), std::string::npos) << r.err;
    fs::resize_file(file, (16u << 20) + 1);
    r = lab.run({"upload", Endpoint(lab, 0), Q(file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("larger than any device configuration"), std::string::npos) << r.err;
    EXPECT_EQ(PostBodies(lab, lab.mac(0)).size(), 2u);
}

TEST(CliTransfer, NeverWritesThroughALink) {
    CliLab lab(Pick("127.0.134.1", {kThermometer}));
    ASSERT_TRUE(lab.started);
    TempDir dir, elsewhere;
    const fs::path victim = elsewhere.path / "authorized_keys";
    write_file(victim, "victim");
    const fs::path dangling = elsewhere.path / "created";
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path);
    // At the suggested name (with and without --force) and as -o.
    const struct {
        fs::path to;
        QStringList args;
    } cases[] = {{dangling, {}}, {victim, {"--force"}}, {victim, {"-o", "Thermometer 1.xml"}}};
    for (const auto &c : cases) {
        fs::create_symlink(c.to, "Thermometer 1.xml");
        const Result r =
            lab.run(QStringList{"download", QString::fromStdString(lab.mac(0))} + c.args);
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.err.find("Thermometer 1.xml is a symbolic link"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink("Thermometer 1.xml"));
        EXPECT_EQ(Entries(dir.path), 1u);
        fs::remove("Thermometer 1.xml");
    }
    fs::current_path(cwd);
    EXPECT_EQ(read_file(victim), "victim");
    EXPECT_FALSE(fs::exists(dangling));
}
