// The platform tests include widget code (dialogs, window placement): one
// offscreen QApplication serves the whole run, made before the first test so
// the painting tests find it too. It is never destroyed: tearing Qt down
// during exit (a death test's child calls std::exit) crashes.

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class WidgetApplication : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance()) return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QApplication(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[16] = "platform_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr; // kept for the whole process
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WidgetApplication);

} // namespace
