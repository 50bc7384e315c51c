#pragma once
// A report on the virtual printer with a fixed clock and its messages and
// password prompts captured, for the template and page tests.

#include "model_test_support.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <string>
#include <vector>

namespace model_test {

constexpr double kClock = 45000.5; // 2023-03-15 12:00

class TemplateTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitReportPrinter(nullptr);
        frGuiHooks().Now = [] { return kClock; };
        frGuiHooks().ShowError = [this](const std::string& text, const std::string& caption) {
            messages.push_back(caption + "|" + text);
        };
    }
    void TearDown() override {
        SetCurReport(nullptr);
        ModelTest::TearDown();
    }

    TfrLoadResult Load(TfrReport& report, const std::string& bytes) {
        auto ms = StreamOf(bytes);
        return report.LoadTemplateStream(*ms);
    }
    static std::string Save(TfrReport& report) {
        rtl::TMemoryStream ms;
        report.SaveTemplateStream(ms);
        return ms.Bytes();
    }

    std::vector<std::string> messages;
};

// CP936 bytes of a UTF-8 literal.
std::string Gbk(const char* utf8);

// The messages as shown: caption, "|", text.
std::string UnsupportedMessage();
std::string MissingMessage(const std::string& namesEachWithCr);

} // namespace model_test
