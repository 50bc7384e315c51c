#pragma once
// Shared fixture for the window tests: answers every message box, file
// dialog and shell open, and records them.

#include "platform/ui/dialogs.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

inline QString Fixture(const char* name) {
    return QString::fromUtf8(SHARED_FIXTURES_DIR) + QStringLiteral("/access/") +
           QString::fromUtf8(name);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::TestHooks().message = [this](const ui::MessageRecord& m) { messages.push_back(m); };
        ui::TestHooks().openFile = [this](const QString& filter) {
            lastFilter = filter;
            return nextOpenFile;
        };
        ui::TestHooks().shellOpen = [this](const QString& path) {
            shellOpened.push_back(path);
            return false;
        };
    }
    void TearDown() override { ui::TestHooks() = {}; }

    // The only message shown since the last call, as "Kind: text".
    QString TakeMessage() {
        if (messages.size() != 1) {
            ADD_FAILURE() << "expected one message, got " << messages.size();
            messages.clear();
            return {};
        }
        const ui::MessageRecord m = messages.front();
        messages.clear();
        return m.caption + QStringLiteral(": ") + m.text;
    }

    std::vector<ui::MessageRecord> messages;
    std::optional<QString> nextOpenFile;
    QString lastFilter;
    std::vector<QString> shellOpened;
};
