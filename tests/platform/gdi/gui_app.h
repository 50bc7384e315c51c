#pragma once
// Fonts and painting need a QGuiApplication; tests that use them derive from
// GuiTest, which makes one (offscreen) the first time it is needed.

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace gdi_test {

inline void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit it would go after the window system's own
    // statics and crash the process.
    new QGuiApplication(argc, argv);
}

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureGuiApplication(); }
};

} // namespace gdi_test
