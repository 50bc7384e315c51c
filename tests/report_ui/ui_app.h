#pragma once
// The window tests' application: one offscreen QApplication for the run,
// made on first use and never destroyed (at exit it would go after the
// window system's own statics and crash the process).

#include <QApplication>

inline void EnsureApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "report_ui_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}
