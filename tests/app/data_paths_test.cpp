// Data files beside the program win over the installed ones; a file found
// nowhere keeps its place beside the program.

#include "app/data_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(DataPaths, InstalledFolderIsShareBesideTheProgramsBinFolder) {
    EXPECT_EQ(InstalledDataFolder(QStringLiteral("/opt/labels/bin")),
              QStringLiteral("/opt/labels/share/labelprint"));
    EXPECT_EQ(InstalledDataFolder(QStringLiteral("/tmp/root/usr/bin/")),
              QStringLiteral("/tmp/root/usr/share/labelprint"));
}

TEST(DataPaths, BesideTheProgramFirstThenInstalledElseBeside) {
    struct Case {
        bool beside, installed;
        const char* expected; // "beside" or "installed"
    };
    const Case cases[] = {
        {true, true, "beside"},
        {true, false, "beside"},
        {false, true, "installed"},
        {false, false, "beside"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = InstalledDataFolder(bin);
        // The main window's own form of the path: its folder with the
        // separator, then "/" and the name.
        const QString beside = bin + QStringLiteral("//Print.frf");
        QDir().mkpath(bin);
        if (c.beside) Touch(beside);
        if (c.installed) Touch(share + QStringLiteral("/Print.frf"));
        const QString expected = QString::fromLatin1(c.expected) == QLatin1String("beside")
                                     ? beside
                                     : share + QStringLiteral("/Print.frf");
        EXPECT_EQ(DataFilePath(beside, share), expected) << c.beside << c.installed;
    }
}

} // namespace
