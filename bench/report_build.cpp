// 100,000 labels built into prepared pages (no painting): each record is
// one band with a memo showing a field and a barcode object encoding
// another, walked through frDBDataSet1 over a real query as the main window
// builds them. Next to it, the same query walked and the same records'
// field bytes merely written to a stream, so the ratio shows what the
// report engine adds. Peak resident memory is reported with each.

#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/rtl/stream.h"
#include "platform/text/cp936.h"
#include "report/barcode/barcode.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"
#include "report/engine/component_registry.h"
#include "report/engine/db_dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/page.h"
#include "report/model/report.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <string>

namespace {

constexpr int kRecords = 100000;

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// A table of kRecords products: a 13-digit barcode and a Chinese name.
struct LabelTable {
    LabelTable() {
        const std::string path = dir.path().toStdString() + "/labels.db";
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE T (B VARCHAR(20), L VARCHAR(50)); BEGIN;", nullptr, nullptr,
                     nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?, ?)", -1, &insert, nullptr);
        for (int i = 0; i < kRecords; ++i) {
            const std::string code = std::to_string(6900000000000LL + i);
            const std::string name = "商品标签 " + std::to_string(i) + " 可口可乐 330ml";
            sqlite3_bind_text(insert, 1, code.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                       text::Utf8ToCp936(path) + ";Persist Security Info=False");
        query.SetSQL("select [B] as [NUM],[L] as [Title] from [T]");
        query.Open();
    }

    QTemporaryDir dir;
    db::TADOConnection connection;
    db::TADOQuery query{&connection};
};

LabelTable& Table() {
    static LabelTable table;
    return table;
}

// Labels 36 units high in two columns down a whole sheet.
void MakeTemplate(TfrReport& report) {
    const int i = report.Pages->Add();
    TfrPage& page = report.Pages->Items(i);
    page.UseMargins = false;
    page.Columns = 2;
    auto& band = static_cast<TfrBandView&>(page.AddObject(CreateObject(gtBand, "")));
    band.FrameTyp = btMasterData;
    band.Name = "MasterData1";
    band.SetBounds(0, 0, page.PageWidth() / 2, 36);
    band.FormatText = "frDBDataSet1";
    auto& memo = static_cast<TfrMemoView&>(page.AddObject(CreateObject(gtMemo, "")));
    memo.Name = "Memo1";
    memo.SetBounds(4, 2, 200, 12);
    memo.Memo.SetText("[frDBDataSet1.\"Title\"]");
    memo.Font.Name = text::Utf8ToCp936("宋体");
    memo.Font.Size = 9;
    auto& barcode =
        static_cast<TfrBarCodeView&>(page.AddObject(CreateObject(gtAddIn, "TfrBarCodeView")));
    barcode.Name = "B";
    barcode.SetBounds(4, 14, 200, 20);
    barcode.BarType = bcCode128C;
    barcode.Memo.SetText("[frDBDataSet1.\"NUM\"]");
}

void BM_BuildLabels(benchmark::State& state) {
    LabelTable& table = Table();
    TfrDBDataSet dataSet{"frDBDataSet1"};
    dataSet.SetDataSet(&table.query);
    TfrReport report;
    TfrComponentContainer form{"frmPrint", TfrContainerKind::Form};
    form.AddComponent("frDBDataSet1", &dataSet);
    form.AddComponent("frReport1", &report);
    report.ShowProgress = false;
    report.Dataset = &dataSet;
    MakeTemplate(report);
    int sheets = 0;
    for (auto _ : state) {
        if (!report.BuildPreparedReport()) state.SkipWithError("the build failed");
        sheets = report.PreparedPages->Count();
    }
    const int perSheet = 2 * (report.Pages->Items(0).PrinterInfo.PageHeight / 36);
    // The first label carries the first record: its name and its barcode's value.
    TfrEMFPages& pages = *report.PreparedPages;
    if (pages.Count() > 0) {
        pages.MaterializePage(0);
        const auto& objects = pages.PageAt(0).Page->Objects;
        if (objects.size() != static_cast<size_t>(2 * perSheet) ||
            objects[0]->Memo.Text().find(text::Utf8ToCp936("商品标签 0 ")) != 0 ||
            objects[1]->Memo.Text().find("6900000000000") != 0)
            state.SkipWithError("the first sheet does not hold the first records' labels");
        pages.PageAt(0).Page.reset();
    }
    if (sheets != (kRecords + perSheet - 1) / perSheet)
        state.SkipWithError(("wrong number of sheets: " + std::to_string(sheets)).c_str());
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(kRecords) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["sheets"] = sheets;
    state.counters["peak MB"] = PeakResidentMegabytes();
}

// The same records' field bytes, walked from the same query and written.
void BM_WriteRecordBytes(benchmark::State& state) {
    db::TADOQuery& query = Table().query;
    int64_t bytes = 0;
    for (auto _ : state) {
        rtl::TMemoryStream out;
        for (query.First(); !query.Eof(); query.Next()) {
            const std::string title = query.FieldByName("Title").AsString();
            const std::string num = query.FieldByName("NUM").AsString();
            out.WriteBytes(title);
            out.WriteBytes(num);
        }
        bytes = out.Size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(kRecords) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["peak MB"] = PeakResidentMegabytes();
}

// The byte writing first, so its peak memory is not the build's.
BENCHMARK(BM_WriteRecordBytes)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLabels)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallExpressionEvaluator();
    InstallMemoLayout();
    frRegisterBarCodeView();
    Table(); // the table is made before anything is measured
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
