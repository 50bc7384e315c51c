// Pattern building plus width measuring for 100,000 label values, ours next to libzint
// encoding the same values in the same run. The closing lines give zint time / our time.

#include "report/barcode/barcode.h"

#include <benchmark/benchmark.h>
#include <zint.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int ValueCount = 100000;

std::vector<std::string> MakeValues(bool digitsOnly) {
    std::vector<std::string> values;
    values.reserve(ValueCount);
    unsigned long long seed = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < ValueCount; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const std::string digits = std::to_string(100000000000ull + (seed >> 20) % 900000000000ull);
        values.push_back(digitsOnly ? digits
                                    : "LBL-" + digits.substr(0, 6) + "/x" + digits.substr(6));
    }
    return values;
}

const std::vector<std::string>& Ean13Values() {
    static const std::vector<std::string> v = MakeValues(true); // 12 digits, check added
    return v;
}

const std::vector<std::string>& Code128Values() {
    static const std::vector<std::string> v = MakeValues(false); // e.g. LBL-123456/x789012
    return v;
}

void Ours(benchmark::State& state, TfrBarcodeType typ, const std::vector<std::string>& values) {
    TfrBarcode barcode;
    barcode.SetTyp(typ);
    barcode.SetCheckSum(true);
    long long total = 0;
    for (auto _ : state) {
        for (const std::string& value : values) {
            barcode.SetText(value);
            total += barcode.Width();
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * values.size());
}

void Zint(benchmark::State& state, int symbology, const std::vector<std::string>& values) {
    zint_symbol* symbol = ZBarcode_Create();
    long long total = 0;
    for (auto _ : state) {
        for (const std::string& value : values) {
            ZBarcode_Clear(symbol);
            symbol->symbology = symbology;
            if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(value.data()),
                                static_cast<int>(value.size())) >= ZINT_ERROR) {
                state.SkipWithError(symbol->errtxt);
                break;
            }
            total += symbol->width;
        }
    }
    ZBarcode_Delete(symbol);
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * values.size());
}

void BM_Ours_EAN13(benchmark::State& s) {
    Ours(s, bcCodeEAN13, Ean13Values());
}
void BM_Zint_EAN13(benchmark::State& s) {
    Zint(s, BARCODE_EANX, Ean13Values());
}
void BM_Ours_Code128(benchmark::State& s) {
    Ours(s, bcCode128B, Code128Values());
}
void BM_Zint_Code128(benchmark::State& s) {
    Zint(s, BARCODE_CODE128, Code128Values());
}

BENCHMARK(BM_Ours_EAN13)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zint_EAN13)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours_Code128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zint_Code128)->Unit(benchmark::kMillisecond);

// Prints the usual table, then zint's time over ours for each symbology.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {} // plain text: the numbers end up in notes
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* symbology : {"EAN13", "Code128"}) {
            const auto ours = times_.find(std::string("BM_Ours_") + symbology);
            const auto zint = times_.find(std::string("BM_Zint_") + symbology);
            if (ours == times_.end() || zint == times_.end() || ours->second <= 0) continue;
            std::printf("%s: zint/ours = %.2f (ours %.1f ms, zint %.1f ms per %d values)\n",
                        symbology, zint->second / ours->second, ours->second, zint->second,
                        ValueCount);
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
