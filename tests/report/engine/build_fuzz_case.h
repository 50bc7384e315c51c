#pragma once
// One input of the build fuzzer, shared with the test that replays its
// corpus: the bytes are decoded into a small template (pages of bands of any
// type, size and flags, memos with short and long text, sub-report objects,
// cross-tab bands, band and object scripts from a small vocabulary run by
// the report's interpreter with a low step limit) over a few rows, and the
// report is built. Errors are an expected outcome; a crash, a build that
// does not end, or more sheets than the template can sensibly need are not.

#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/component_registry.h"
#include "report/engine/dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/globals.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/model/sub_report_view.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzcase {

// No template here can need more sheets than this (a few rows, a few bands,
// short data sets, scripts asking for a few new pages each time a band
// prints); a build that goes past it is running away.
constexpr int kMaxSheets = 2000;
constexpr int64_t kBuildSteps = 2000;

inline void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "build_fuzzer";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit it would go after the window system's own
    // statics and crash the process.
    new QGuiApplication(argc, argv);
}

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
    uint8_t Byte() { return at_ < bytes_.size() ? static_cast<uint8_t>(bytes_[at_++]) : 0; }
    int Below(int n) { return n <= 0 ? 0 : Byte() % n; }
    bool Bit() { return (Byte() & 1) != 0; }
    bool Done() const { return at_ >= bytes_.size(); }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

// A data set of `Count` records whose fields answer "Name.Field".
class FuzzRows : public TfrDataset {
public:
    FuzzRows(std::string name, int count) : TfrDataset(std::move(name)), Count(count) {}
    bool Eof() override { return RecordNumber >= Count; }
    int Count;
};

inline const char* const kTexts[] = {
    "A",
    "[Rows.Name]",
    "[LINE#] [PAGE#]",
    "[COLUMN#]",
    "[Cols.Name]",
    "line one\rline two\rline three\rline four\rline five\rline six",
    "",
    "[SUM([COLUMN#])]",
    "[CURRENT#] of [TOTALPAGES]",
    "中文文本，一行又一行的长文字，会折成很多行。中文文本，一行又一行的长文字。",
};

inline const char* const kStatements[] = {
    "NewPage",
    "NewColumn",
    "CurY := CurY + 40",
    "Visible := False",
    "ShowBand('B1')",
    "ShowBand('B3')",
    "Height := 600",
    "Height := 0",
    "Top := -50",
    "StopReport",
    "while 1 = 1 do CurY := CurY + 1",
    "i := 0; while i < 5 do begin i := i + 1; NewPage end",
    "Left := 900",
    "Width := 1000",
    "CurY := 10000",
};

inline std::string LongText(ByteReader& in) {
    std::string text;
    const int lines = 1 + in.Below(60);
    for (int i = 0; i < lines; ++i) text += "word " + std::to_string(i) + " of a long memo\r";
    return text;
}

inline std::string Script(ByteReader& in) {
    const int count = in.Below(4);
    if (count == 0) return {};
    std::string text = "begin ";
    for (int i = 0; i < count; ++i) {
        if (i) text += "; ";
        text += kStatements[in.Below(static_cast<int>(std::size(kStatements)))];
    }
    return text + " end";
}

// Decodes the bytes into `report`'s template (data sets go to `form`).
inline void DecodeTemplate(ByteReader& in, TfrReport& report, TfrComponentContainer& form,
                           std::vector<std::unique_ptr<FuzzRows>>& data) {
    data.push_back(std::make_unique<FuzzRows>("Rows", in.Below(6)));
    data.push_back(std::make_unique<FuzzRows>("Cols", in.Below(7)));
    data.push_back(std::make_unique<FuzzRows>("Sub", in.Below(5)));
    for (auto& d : data) form.AddComponent(d->Name, static_cast<TfrDataset*>(d.get()));
    report.DoublePass = in.Below(4) == 0;
    report.PrintIfEmpty = in.Below(4) != 0;

    const int pageCount = 1 + in.Below(3);
    int bandNo = 0;
    for (int pg = 0; pg < pageCount; ++pg) {
        const int index = report.Pages->Add();
        TfrPage& page = report.Pages->Items(index);
        const int width = 150 + in.Below(300);
        const int height = 120 + in.Below(300);
        page.ChangePaper(256, width * 50 / 18, height * 50 / 18, frDefaultPaperBin, 0);
        page.UseMargins = in.Below(4) == 0;
        page.Columns = 1 + in.Below(3) / 2;
        page.ColumnGap = in.Below(20);
        page.PrintToPrevPage = pg > 0 && in.Below(4) == 0;
        const int bands = in.Below(8);
        int top = 0;
        for (int b = 0; b < bands && !in.Done(); ++b) {
            const int type = in.Below(22);
            auto& band = static_cast<TfrBandView&>(page.AddObject(CreateObject(gtBand, "")));
            band.FrameTyp = static_cast<uint16_t>(type);
            band.Name = "B" + std::to_string(++bandNo);
            const int bandHeight = in.Below(8) == 0 ? 200 + in.Below(600) : in.Below(80);
            if (frIsCrossBand(type)) {
                const int left = in.Below(width);
                band.SetBounds(left, 0, 10 + in.Below(120), height);
            } else {
                band.SetBounds(0, top, page.PageWidth(), bandHeight);
            }
            uint16_t flags = static_cast<uint16_t>(in.Byte());
            if (in.Bit()) flags |= flBandOnFirstPage | flBandOnLastPage;
            band.Flags = flags;
            const int source = in.Below(6);
            band.FormatText = source == 1   ? "Rows"
                              : source == 2 ? (type == btCrossData ? "Cols" : "Sub")
                              : source == 3 ? std::to_string(1 + in.Below(4))
                              : source == 4 ? "B" + std::to_string(1 + in.Below(4)) + "=Cols;"
                                            : "";
            if (type == btGroupHeader) band.FormatText = in.Bit() ? "[LINE#]" : "[Rows.Name]";
            if (in.Below(6) == 0) band.ChildBand = "B" + std::to_string(1 + in.Below(bandNo + 1));
            if (in.Below(6) == 0) {
                band.Columns = 1 + in.Below(4);
                band.NewColumnAfter = 1;
                band.ColumnWidth = in.Below(150);
                band.ColumnGap = in.Below(20);
            }
            band.BeforePrintScript.SetText(Script(in));

            const int objects = in.Below(4);
            for (int o = 0; o < objects && !in.Done(); ++o) {
                const int kind = in.Below(8);
                const int left = in.Below(width);
                const int objectTop =
                    frIsCrossBand(type) ? in.Below(height) : top + in.Below(bandHeight + 1);
                if (kind == 0 && pageCount > 1) {
                    auto& sub = static_cast<TfrSubReportView&>(
                        page.AddObject(CreateObject(gtSubReport, "")));
                    sub.Name = "S" + std::to_string(bandNo) + "_" + std::to_string(o);
                    sub.SubPage = in.Below(pageCount + 1);
                    sub.SetBounds(left, objectTop, 60, 20);
                    continue;
                }
                if (kind == 1) {
                    TfrView& line = page.AddObject(CreateObject(gtLine, ""));
                    line.Name = "L" + std::to_string(bandNo) + "_" + std::to_string(o);
                    line.SetBounds(left, objectTop, in.Bit() ? 1 : 40, in.Below(500));
                    continue;
                }
                auto& memo = static_cast<TfrMemoView&>(page.AddObject(CreateObject(gtMemo, "")));
                memo.Name = "M" + std::to_string(bandNo) + "_" + std::to_string(o);
                memo.SetBounds(left, objectTop, 10 + in.Below(200), in.Below(300));
                memo.Memo.SetText(text::Utf8ToCp936(
                    kind == 2
                        ? LongText(in)
                        : std::string(kTexts[in.Below(static_cast<int>(std::size(kTexts)))])));
                memo.Font.Name = text::Utf8ToCp936("宋体");
                memo.Font.Size = 4 + in.Below(30);
                memo.LineSpacing = in.Below(8) == 0 ? -in.Below(60) : in.Below(4);
                memo.Flags = static_cast<uint16_t>(in.Bit() ? flStretched : 0);
                memo.BandAlign = static_cast<uint8_t>(in.Below(10) == 0 ? baBottom : baNone);
                if (in.Below(5) == 0) memo.BeforePrintScript.SetText(Script(in));
            }
            if (!frIsCrossBand(type)) top += bandHeight + 5;
        }
    }
}

inline void BuildTemplate(std::string_view bytes) {
    EnsureGuiApplication();
    frResetProcessState();
    InstallExpressionEvaluator();
    InstallMemoLayout();
    frGuiHooks().Now = [] { return 45000.5; };
    frGuiHooks().ShowError = [](const std::string&, const std::string&) {};
    frGlobals().Interpreter.SetStepLimit(kBuildSteps);

    TfrReport report;
    TfrComponentContainer form{"Form1", TfrContainerKind::Form};
    form.AddComponent("frReport1", &report);
    report.ShowProgress = false;
    std::vector<std::unique_ptr<FuzzRows>> data;
    ByteReader in(bytes);
    DecodeTemplate(in, report, form, data);
    report.OnGetValue = [&data](const std::string& name, rtl::TVariant& value) {
        const size_t dot = name.find('.');
        if (dot == std::string::npos) return;
        for (const auto& d : data)
            if (name.compare(0, dot, d->Name) == 0)
                value = rtl::TVariant(d->Name + std::to_string(d->RecordNumber));
    };
    report.OnBeginPage = [&report](int) {
        if (report.PreparedPages->Count() > kMaxSheets) std::abort();
    };
    try {
        report.BuildPreparedReport();
    } catch (const std::exception&) {
        // Script faults and runaway scripts end the build with an exception.
    }
    if (report.PreparedPages->Count() > kMaxSheets) std::abort();
    report.PreparedPages->Clear();
    SetCurReport(nullptr);
}

} // namespace fuzzcase
