// main() of kelvo-cli's end-to-end tests: the in-process commands need a
// QCoreApplication, and the programs run as processes inherit the data folder.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    // A search records its devices in the user's inventory: this run's goes
    // to a folder of its own, never into the real home (nor do its children's).
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
