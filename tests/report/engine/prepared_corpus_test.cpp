// Every file the prepared-report fuzzer kept either loads, and then saves to
// bytes that load and save the same again, or is refused with a clear error.

#include "report/engine/prepared_pages.h"

#include "platform/gdi/recording_canvas.h"
#include "report/model/gauge_view.h"
#include "report/model/template_test_support.h"

#include <filesystem>

using namespace model_test;

namespace {

class PreparedCorpus : public TemplateTest {};

std::string SavePrepared(TfrReport& report) {
    rtl::TMemoryStream out;
    report.PreparedPages->WritePreparedFile(out);
    return out.Bytes();
}

} // namespace

TEST_F(PreparedCorpus, EveryFileLoadsAndRoundTripsOrIsRefused) {
    RegisterObject(TfrViewClass::Of<TfrTestGaugeView>(), QImage(), "gauge");
    const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / "prepared_corpus";
    int files = 0, loaded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        rtl::TMemoryStream in;
        in.LoadFromFile(entry.path().string());
        InitReportPrinter(nullptr); // what one file leaves in the printer is not the next one's
        TfrReport report;
        try {
            report.PreparedPages->ReadPreparedFile(in);
        } catch (const EPreparedFileError& e) {
            EXPECT_STRNE(e.what(), "");
            continue;
        }
        ++loaded;
        // Every page paints without trouble.
        gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fixed, 96, 96, gdi::TSize{2000, 2000});
        for (int i = 0; i < report.PreparedPages->Count() && i < 4; ++i) {
            report.PreparedPages->PageAt(i).Visible = true;
            report.PreparedPages->DrawPage(i, canvas, gdi::TRect{0, 0, 800, 1000});
            canvas.Clear();
        }
        const std::string saved = SavePrepared(report);
        InitReportPrinter(nullptr);
        TfrReport again;
        rtl::TMemoryStream back;
        back.WriteBytes(saved);
        back.SetPosition(0);
        ASSERT_NO_THROW(again.PreparedPages->ReadPreparedFile(back));
        EXPECT_EQ(SavePrepared(again), saved);
    }
    EXPECT_GT(files, 0);
    EXPECT_GT(loaded, 0);
}
