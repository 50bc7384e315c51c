// Memo layout on the hot path of a label build.
//
// Labels: 100,000 records, each a memo holding one line of Chinese text (a
// product name, a lot number, a grade), expanded, wrapped and measured for
// the band engine (CalcHeight) and written into a prepared page
// (OutputToPage), next to the bare text measuring of the same lines.
//
// Paragraph: one memo of 2,000 characters (and of 20,000, to show the growth
// is linear), next to a wrapper that re-measures the growing line for every
// character, as layout code must not.
//
// The closing lines give microseconds per memo and the ratios.

#include "report/engine/memo_layout.h"
#include "platform/gdi/canvas.h"
#include "platform/rtl/stream.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int LabelCount = 100000;
constexpr int LabelWidth = 110; // narrow enough that most labels take two lines
constexpr int ParagraphWidth = 300;

const std::vector<std::string>& Labels() {
    static const std::vector<std::string> labels = [] {
        const std::string words[] = {text::L("产品名称"), text::L("规格型号"), text::L("生产日期"),
                                     text::L("批号"), text::L("条码标签")};
        std::vector<std::string> v;
        v.reserve(LabelCount);
        unsigned long long seed = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < LabelCount; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            v.push_back(words[(seed >> 33) % 5] + text::L("：") + "LBL-" +
                        std::to_string(100000 + (seed >> 20) % 900000) + text::L(" 合格"));
        }
        return v;
    }();
    return labels;
}

// Chinese and English words with blanks, `characters` characters long.
std::string Paragraph(int characters) {
    const std::string pieces[] = {text::L("条码标签打印"), "barcode ",
                                  text::L("数据库记录"),   "labels ",
                                  text::L("，"),           "print "};
    std::string text;
    int count = 0;
    for (int i = 0; count < characters; ++i) {
        const std::string& piece = pieces[i % 6];
        for (std::size_t pos = 0; pos < piece.size() && count < characters; ++count) {
            const std::size_t len = gdi::CharLength(piece, pos);
            text.append(piece, pos, len);
            pos += len;
        }
    }
    return text;
}

void SetUpEngine() {
    frResetProcessState();
    InstallMemoLayout();
    frEngine().OutputMode = true;
}

std::unique_ptr<TfrMemoView> MakeMemo(int width, const std::string& text) {
    auto memo = std::make_unique<TfrMemoView>();
    memo->Font.Name = text::L("宋体");
    memo->Font.Size = 9;
    memo->SetBounds(0, 0, width, 40);
    memo->PreparedMode = true;
    memo->Memo.SetText(text);
    return memo;
}

void LabelMemos(benchmark::State& state) {
    SetUpEngine();
    std::size_t record = 0;
    frEngineHooks().GetFormattedValue = [&](const std::string&) { return Labels()[record]; };
    auto memo = MakeMemo(LabelWidth, "[Title]");
    rtl::TMemoryStream page;
    long long height = 0;
    for (auto _ : state) {
        for (record = 0; record < Labels().size(); ++record) {
            height += memo->CalcHeight();
            page.Clear();
            memo->OutputToPage(page);
        }
    }
    benchmark::DoNotOptimize(height);
    state.SetItemsProcessed(state.iterations() * LabelCount);
}

// The floor: measuring every character of the same lines, nothing else.
void LabelMeasureOnly(benchmark::State& state) {
    SetUpEngine();
    gdi::Canvas& canvas = frMeasuringCanvas();
    gdi::TFont font;
    font.Name = text::L("宋体");
    font.Height = -12;
    canvas.SetFont(font);
    gdi::TextRun run;
    long long total = 0;
    for (auto _ : state) {
        for (const std::string& line : Labels()) {
            canvas.TextLayout(line, run);
            total += run.Width;
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * LabelCount);
}

void ParagraphMemo(benchmark::State& state) {
    SetUpEngine();
    auto memo = MakeMemo(ParagraphWidth, Paragraph(static_cast<int>(state.range(0))));
    memo->Flags |= flTextOnly;
    long long height = 0;
    for (auto _ : state) height += memo->CalcHeight();
    benchmark::DoNotOptimize(height);
    state.SetItemsProcessed(state.iterations());
}

// What layout code must not do: measure the growing line for each character.
void ParagraphByPrefixes(benchmark::State& state) {
    SetUpEngine();
    const std::string text = Paragraph(static_cast<int>(state.range(0)));
    gdi::Canvas& canvas = frMeasuringCanvas();
    gdi::TFont font;
    font.Name = text::L("宋体");
    font.Height = -12;
    canvas.SetFont(font);
    const int width = ParagraphWidth - 4;
    long long lines = 0;
    for (auto _ : state) {
        std::size_t start = 0;
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t len = gdi::CharLength(text, pos);
            if (pos > start &&
                canvas.TextWidth(std::string_view(text).substr(start, pos + len - start)) > width) {
                ++lines;
                start = pos;
            }
            pos += len;
        }
        ++lines;
    }
    benchmark::DoNotOptimize(lines);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(LabelMemos)->Unit(benchmark::kMillisecond);
BENCHMARK(LabelMeasureOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(ParagraphMemo)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ParagraphByPrefixes)->Arg(2000)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred)
                times_[run.benchmark_name()] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto time = [&](const char* name) {
            const auto it = times_.find(name);
            return it == times_.end() ? 0.0 : it->second; // seconds
        };
        const double labels = time("LabelMemos");
        const double measure = time("LabelMeasureOnly");
        const double paragraph = time("ParagraphMemo/2000");
        const double longParagraph = time("ParagraphMemo/20000");
        const double prefixes = time("ParagraphByPrefixes/2000");
        if (labels > 0)
            std::printf("label memos: %.2f us per memo (CalcHeight + OutputToPage, %d memos)\n",
                        labels * 1e6 / LabelCount, LabelCount);
        if (labels > 0 && measure > 0)
            std::printf("label memos / measuring their text alone = %.2f\n", labels / measure);
        if (paragraph > 0)
            std::printf("2,000-character paragraph: %.1f us per memo\n", paragraph * 1e6);
        if (paragraph > 0 && longParagraph > 0)
            std::printf("20,000 / 2,000 characters = %.2f (10 when linear)\n",
                        longParagraph / paragraph);
        if (paragraph > 0 && prefixes > 0)
            std::printf("re-measuring prefixes / memo layout (2,000 characters) = %.1f\n",
                        prefixes / paragraph);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
