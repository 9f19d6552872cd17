// The shared file writer against what a folder can hold: links, folders,
// earlier files, another user's links, and a file system that is full.
#include "qvfile.h"
#include "test_files.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;
using kelvo::test::read_file;
using kelvo::test::TempDir;
using kelvo::test::write_file;

namespace {

std::size_t Entries(const fs::path &dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

} // namespace

TEST(FileWriter, NeverFollowsALinkNorReplacesWhatItMustNot) {
    enum Before { Nothing, Earlier, DanglingLink, LinkToFile, SubFolder };
    const struct {
        Before before;
        qv::write_mode mode;
        int error; // 0: written
    } cases[] = {
        {Nothing, qv::write_mode::replace, 0},
        {Earlier, qv::write_mode::replace, 0},
        {DanglingLink, qv::write_mode::replace, ELOOP},
        {LinkToFile, qv::write_mode::replace, ELOOP},
        {SubFolder, qv::write_mode::replace, EISDIR},
        {Nothing, qv::write_mode::create_new, 0},
        {Earlier, qv::write_mode::create_new, EEXIST},
        {DanglingLink, qv::write_mode::create_new, EEXIST},
        {LinkToFile, qv::write_mode::create_new, EEXIST},
    };
    for (const auto &c : cases) {
        TempDir dir, elsewhere;
        const fs::path target = dir.path / "doc.xml";
        const fs::path victim = elsewhere.path / "victim";
        if (c.before == LinkToFile)
            write_file(victim, "victim");
        if (c.before == Earlier)
            write_file(target, "earlier");
        if (c.before == DanglingLink || c.before == LinkToFile) {
            std::error_code ec;
            fs::create_symlink(victim, target, ec);
#ifdef _WIN32
            // Creating links needs a privilege or developer mode on Windows.
            if (ec)
                continue;
#endif
            ASSERT_FALSE(ec) << ec.message();
        }
        if (c.before == SubFolder)
            fs::create_directory(target);
        const auto r = qv::write_file(target.string().c_str(), "<new/>", 6, c.mode, 0600);
        const std::string what =
            std::to_string(c.before) + "/" + std::to_string(static_cast<int>(c.mode));
        EXPECT_EQ(r.error, c.error) << what;
        EXPECT_EQ(r.ok(), c.error == 0) << what;
        if (c.error == 0) {
            EXPECT_EQ(read_file(target), "<new/>") << what;
#ifndef _WIN32
            struct stat st {};
            ASSERT_EQ(lstat(target.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << what;
#endif
        } else if (c.before == Earlier) {
            EXPECT_EQ(read_file(target), "earlier") << what;
        }
        // The link's target is neither created nor changed.
        EXPECT_EQ(fs::exists(victim), c.before == LinkToFile) << what;
        if (c.before == LinkToFile) {
            EXPECT_EQ(read_file(victim), "victim") << what;
        }
        EXPECT_EQ(Entries(dir.path), 1u) << what; // nothing left beside it
    }
    EXPECT_NE(qv::write_error_text("x.xml", {qv::write_step::create, ELOOP}).find("symbolic link"),
              std::string::npos);
}

// Other users, mounts and fork are POSIX's; Windows has its own access
// lists, which Wine does not enforce.
#ifndef _WIN32
// Another user's link in a shared folder does not make root write through it.
TEST(FileWriter, AnotherUsersLinkInASharedFolderIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a second user";
    TempDir shared, home;
    ASSERT_EQ(chmod(shared.path.c_str(), 01777), 0);
    const fs::path victim = home.path / "authorized_keys";
    write_file(victim, "root's");
    const fs::path target = shared.path / "device.xml";
    const pid_t child = fork();
    if (child == 0) { // the other user, with no rights on `home`
        const bool ok = setgid(65534) == 0 && setuid(65534) == 0 &&
                        symlink(victim.c_str(), target.c_str()) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    const auto r = qv::write_file(target.c_str(), "<d/>", 4, qv::write_mode::replace, 0600);
    EXPECT_EQ(r.error, ELOOP);
    EXPECT_EQ(read_file(victim), "root's");
}

// A full file system fails the write; the earlier file stays and nothing is
// left beside it. Needs root for the small tmpfs.
TEST(FileWriter, FullFileSystemKeepsTheEarlierFile) {
    TempDir dir;
    if (geteuid() != 0 || mount("kelvo-full", dir.path.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    const fs::path target = dir.path / "doc.xml";
    write_file(target, "earlier");
    const std::string big(64 * 1024, 'x');
    const auto r =
        qv::write_file(target.c_str(), big.data(), big.size(), qv::write_mode::replace, 0600);
    EXPECT_EQ(r.step, qv::write_step::write);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_NE(qv::write_error_text(target, r).find("unchanged"), std::string::npos);
    EXPECT_EQ(read_file(target), "earlier");
    EXPECT_EQ(Entries(dir.path), 1u);
    umount2(dir.path.c_str(), MNT_DETACH);
}
#endif
