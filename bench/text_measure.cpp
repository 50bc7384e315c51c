// Measures 100,000 label lines (Chinese text with a number, as memos hold them)
// character by character through the canvas's text service, next to Qt's own
// QFontMetricsF measuring the same lines in the same run. The closing lines
// give Qt's time / ours per face.

#include "platform/gdi/recording_canvas.h"
#include "platform/text/cp936.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int LineCount = 100000;

const std::vector<std::string>& Lines() {
    static const std::vector<std::string> lines = [] {
        const std::string words[] = {text::L("产品名称"), text::L("规格型号"), text::L("生产日期"),
                                     text::L("批号"), text::L("条码标签")};
        std::vector<std::string> v;
        v.reserve(LineCount);
        unsigned long long seed = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < LineCount; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            v.push_back(words[(seed >> 33) % 5] + text::L("：") + "LBL-" +
                        std::to_string(100000 + (seed >> 20) % 900000) + text::L(" 合格"));
        }
        return v;
    }();
    return lines;
}

const std::vector<QString>& LinesAsQString() {
    static const std::vector<QString> lines = [] {
        std::vector<QString> v;
        v.reserve(LineCount);
        for (const std::string& line : Lines()) v.push_back(text::Cp936ToQString(line));
        return v;
    }();
    return lines;
}

const char* const kFaces[] = {"宋体", "Arial"};

void Ours(benchmark::State& state) {
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    gdi::TFont font;
    font.Name = text::L(kFaces[state.range(0)]);
    font.Size = 9;
    canvas.SetFont(font);
    canvas.SetTextCharacterExtra(1);
    gdi::TextRun run;
    long long total = 0;
    for (auto _ : state) {
        for (const std::string& line : Lines()) {
            canvas.TextLayout(line, run); // every character's position, not just the width
            total += run.Width;
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * LineCount);
}

void Qt(benchmark::State& state) {
    QFont font(QString::fromUtf8(kFaces[state.range(0)]));
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    double total = 0;
    for (auto _ : state) {
        for (const QString& line : LinesAsQString()) total += metrics.horizontalAdvance(line);
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * LineCount);
}

BENCHMARK(Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Qt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (int face = 0; face < 2; ++face) {
            const std::string arg = "/" + std::to_string(face);
            const auto ours = times_.find("Ours" + arg);
            const auto qt = times_.find("Qt" + arg);
            if (ours == times_.end() || qt == times_.end() || ours->second <= 0) continue;
            std::printf("%s: qt/ours = %.2f (ours %.3f us per line, %d lines)\n", kFaces[face],
                        qt->second / ours->second, ours->second * 1000.0 / LineCount, LineCount);
        }
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
