// kelvo-cli's end-to-end tests run their commands in-process, which needs a
// QCoreApplication.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // A search records its devices in the user's inventory: this run's goes
    // to a folder of its own, never into the real home.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
