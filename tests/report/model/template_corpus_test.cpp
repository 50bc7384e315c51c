// Every file the template fuzzer kept, and every input that once crashed
// it, loads through the reader with a documented outcome.

#include "template_test_support.h"

#include "gauge_view.h"

#include <filesystem>

using namespace model_test;

class TemplateCorpus : public TemplateTest {};

TEST_F(TemplateCorpus, EveryFileEndsInADocumentedOutcome) {
    RegisterObject(TfrViewClass::Of<TfrTestGaugeView>(), QImage(), "gauge");
    const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / "template_corpus";
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        rtl::TMemoryStream in;
        in.LoadFromFile(entry.path().string());
        messages.clear();
        InitReportPrinter(nullptr); // what one file leaves in the printer is not the next one's
        TfrReport report;
        const TfrLoadResult result = report.LoadTemplateStream(in);
        switch (result) {
        case TfrLoadResult::Loaded:
        case TfrLoadResult::Empty:
            EXPECT_TRUE(messages.empty());
            break;
        case TfrLoadResult::Unsupported:
            EXPECT_EQ(messages, std::vector<std::string>{UnsupportedMessage()});
            EXPECT_EQ(report.Pages->Count(), 0);
            break;
        case TfrLoadResult::FormatError:
        case TfrLoadResult::PasswordRejected:
            EXPECT_EQ(report.Pages->Count(), 1);
            EXPECT_EQ(report.Pages->Items(0).ObjectCount(), 0);
            if (result == TfrLoadResult::FormatError) {
                EXPECT_EQ(messages, std::vector<std::string>{UnsupportedMessage()});
            }
            break;
        case TfrLoadResult::MissingComponents:
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].rfind(MissingMessage("").substr(0, 20), 0), 0u);
            break;
        }
        // What loaded saves to bytes that load and save the same again.
        if (result == TfrLoadResult::Loaded) {
            const std::string saved = Save(report);
            InitReportPrinter(nullptr); // as the first load found it
            TfrReport again;
            ASSERT_EQ(Load(again, saved), TfrLoadResult::Loaded);
            EXPECT_EQ(Save(again), saved);
        }
    }
    EXPECT_GT(files, 0);
}
