// Walking 100,000 records as a label build does: TfrDBDataSet over
// "select [B] as [NUM],[L] as [Title] from [T]", reading both fields as
// text; next to the same walk on the database layer alone and on the
// sqlite3 C API with the CP936 conversion the layer must make. A third walk
// reads the fields through the dictionary, as memo tags reach them.

#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/text/cp936.h"
#include "report/engine/db_dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/model/report.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <cstdio>
#include <string>

namespace {

constexpr int kRows = 100000;
constexpr const char* kStatement = "select [B] as [NUM],[L] as [Title] from [T]";

// One file for the whole run, made on first use.
const std::string& DatabasePath() {
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = dir.path().toStdString() + "/walk.db";
        sqlite3* db = nullptr;
        sqlite3_open(p.c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE T (ID INTEGER, B VARCHAR(20), L VARCHAR(50), P REAL);"
                     "BEGIN;",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
        char code[32];
        for (int i = 0; i < kRows; ++i) {
            std::snprintf(code, sizeof code, "69%011d", i);
            const std::string title = "商品标签 " + std::to_string(i) + " 号";
            sqlite3_bind_int(insert, 1, i);
            sqlite3_bind_text(insert, 2, code, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, title.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 4, i * 0.25);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return p;
    }();
    return path;
}

std::string ConnectionString() {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + text::Utf8ToCp936(DatabasePath()) +
           ";Persist Security Info=False";
}

void BM_SqliteWalkToCp936(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT B, L FROM T", -1, &st, nullptr);
        std::size_t bytes = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < 2; ++i) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                bytes +=
                    text::Utf8ToCp936(
                        std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(st, i))))
                        .size();
            }
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_LayerWalk(benchmark::State& state) {
    db::TADOConnection conn;
    conn.SetConnectionString(ConnectionString());
    conn.Open();
    db::TADOQuery query(&conn);
    query.SetSQL(kStatement);
    for (auto _ : state) {
        query.Close();
        query.Open();
        db::TField* num = query.FindField("NUM");
        db::TField* title = query.FindField("Title");
        std::size_t bytes = 0;
        for (query.First(); !query.Eof(); query.Next())
            bytes += num->AsString().size() + title->AsString().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// The walk a master data band makes: BeginWalk opens the query, First,
// Next while not Eof, EndWalk.
void BM_DataSetWalk(benchmark::State& state) {
    db::TADOConnection conn;
    conn.SetConnectionString(ConnectionString());
    conn.Open();
    db::TADOQuery query(&conn);
    query.SetSQL(kStatement);
    TfrDBDataSet dataSet("frDBDataSet1");
    dataSet.SetDataSet(&query);
    for (auto _ : state) {
        query.Close();
        dataSet.BeginWalk();
        db::TField* num = query.FindField("NUM");
        db::TField* title = query.FindField("Title");
        std::size_t bytes = 0;
        for (dataSet.First(); !dataSet.Eof(); dataSet.Next())
            bytes += num->AsString().size() + title->AsString().size();
        dataSet.EndWalk();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// As above, each value found by its tag text through the dictionary's
// cache and turned into the report's variant, as memo tags are served.
void BM_DataSetWalkThroughDictionary(benchmark::State& state) {
    db::TADOConnection conn;
    conn.SetConnectionString(ConnectionString());
    conn.Open();
    db::TADOQuery query(&conn);
    query.SetSQL(kStatement);
    TfrDBDataSet dataSet("frDBDataSet1");
    dataSet.SetDataSet(&query);
    TfrReport report;
    TfrComponentContainer form("frmPrint", TfrContainerKind::Form);
    form.AddComponent("frDBDataSet1", &dataSet);
    form.AddComponent("frReport1", &report);
    SetCurReport(&report);
    InstallDictionaryLookups();
    TfrDataDictionary& dictionary = *report.Dictionary;
    const std::string num = "frDBDataSet1.\"NUM\"";
    const std::string title = "frDBDataSet1.\"Title\"";
    for (auto _ : state) {
        query.Close();
        dataSet.BeginWalk();
        std::size_t bytes = 0;
        for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
            if (dictionary.IsVariable(num)) bytes += dictionary.GetValue(num).AsString().size();
            if (dictionary.IsVariable(title)) bytes += dictionary.GetValue(title).AsString().size();
        }
        dataSet.EndWalk();
        benchmark::DoNotOptimize(bytes);
    }
    SetCurReport(nullptr);
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_SqliteWalkToCp936)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetWalkThroughDictionary)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
