#include "platform/settings/settings_store.h"
#include "platform/ui/form_position.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using settings::TRegIniFile;

namespace {

class FormPosition : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        screen = QGuiApplication::primaryScreen()->availableGeometry();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    void Store(int x, int y, int w, int h, bool maximized) {
        TRegIniFile store(key);
        const QString s = QStringLiteral("Form\\TfrPreviewForm");
        store.WriteInteger(s, "XPosition", x);
        store.WriteInteger(s, "YPosition", y);
        store.WriteInteger(s, "Width", w);
        store.WriteInteger(s, "Height", h);
        store.WriteBool(s, "Maximized", maximized);
    }
    QRect Restored() {
        QWidget window;
        window.setGeometry(10, 20, 200, 100);
        ui::RestoreFormPosition(TRegIniFile(key), window, "TfrPreviewForm");
        return window.geometry();
    }

    const QString key = QStringLiteral("Software\\Quorbel\\Labelprint");
    QTemporaryDir home;
    QRect screen;
};

} // namespace

TEST_F(FormPosition, SavedBoundsComeBack) {
    {
        QWidget window;
        window.setGeometry(30, 40, 320, 240);
        TRegIniFile store(key);
        ui::SaveFormPosition(store, window, "TfrPreviewForm");
    }
    TRegIniFile store(key);
    EXPECT_EQ(store.ReadInteger("Form\\TfrPreviewForm", "Width", 0), 320);
    EXPECT_FALSE(store.ReadBool("Form\\TfrPreviewForm", "Maximized", true));
    EXPECT_EQ(Restored(), QRect(30, 40, 320, 240));
}

TEST_F(FormPosition, BoundsFromTheFileNeverLeaveTheScreen) {
    // Nothing stored: the window keeps its own bounds.
    EXPECT_EQ(Restored(), QRect(10, 20, 200, 100));
    // Off every screen: centred on the primary one, size kept.
    Store(-100000, 90000, 200, 100, false);
    QRect r = Restored();
    EXPECT_EQ(r.size(), QSize(200, 100));
    EXPECT_TRUE(screen.contains(r));
    // Larger than the screen, or zero and negative sizes: within the screen.
    Store(0, 0, 2000000000, 2000000000, false);
    EXPECT_EQ(Restored(), screen);
    Store(5, 5, -50, 0, false);
    r = Restored();
    EXPECT_GE(r.width(), 1);
    EXPECT_GE(r.height(), 1);
    EXPECT_TRUE(screen.contains(r));
    // Partly beyond the right edge: moved back in.
    Store(screen.right() - 50, 10, 200, 100, false);
    r = Restored();
    EXPECT_EQ(r.size(), QSize(200, 100));
    EXPECT_TRUE(screen.contains(r));
}
