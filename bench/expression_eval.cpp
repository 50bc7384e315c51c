// A label's expression (a field reference, a concatenation, a COPY and an
// IF) evaluated from its stored postfix text, next to compiling it every
// time, with names answered through the dictionary from a real query as a
// report build answers them; and the same expression, and a bare field, as
// a memo's bracket shows them: through the report's whole value side (name
// resolution in its six steps, the shared parser, the display format).

#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/text/cp936.h"
#include "report/engine/db_dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/parser.h"
#include "report/engine/report_values.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <memory>
#include <string>

namespace {

const char* const kExpression = "IF([frDBDataSet1.\"NUM\"] <> '', COPY([frDBDataSet1.\"Title\"], "
                                "1, 8) + ' ' + [frDBDataSet1.\"NUM\"], 'none')";

// One record, walked by frDBDataSet1 of a form that owns the report.
struct LabelData {
    LabelData() {
        const std::string path = dir.path().toStdString() + "/label.db";
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE T (B VARCHAR(20), L VARCHAR(50));"
                     "INSERT INTO T VALUES ('6901234567892', '商品标签 可口可乐 330ml');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                       text::Utf8ToCp936(path) + ";Persist Security Info=False");
        query.SetSQL("select [B] as [NUM],[L] as [Title] from [T]");
        query.Open();
        dataSet.SetDataSet(&query);
        form.AddComponent("frDBDataSet1", &dataSet);
        form.AddComponent("frReport1", &report);
        SetCurReport(&report);
        InstallDictionaryLookups();
        parser.OnValueRequest = [this](const std::string& name, rtl::TVariant& value) {
            if (report.Dictionary->IsVariable(name)) value = report.Dictionary->GetValue(name);
        };
    }
    ~LabelData() { SetCurReport(nullptr); }

    QTemporaryDir dir;
    db::TADOConnection connection;
    db::TADOQuery query{&connection};
    TfrDBDataSet dataSet{"frDBDataSet1"};
    TfrReport report;
    TfrComponentContainer form{"frmPrint", TfrContainerKind::Form};
    TfrParser parser;
};

LabelData& Data() {
    static LabelData data;
    return data;
}

void BM_EvaluateCompiled(benchmark::State& state) {
    TfrParser& parser = Data().parser;
    const std::string postfix = parser.CompileToPostfix(kExpression);
    if (parser.EvaluatePostfix(postfix).AsString() != text::Utf8ToCp936("商品标签 6901234567892"))
        state.SkipWithError("wrong value");
    for (auto _ : state) benchmark::DoNotOptimize(parser.EvaluatePostfix(postfix));
}

void BM_CompileAndEvaluate(benchmark::State& state) {
    TfrParser& parser = Data().parser;
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.EvaluatePostfix(parser.CompileToPostfix(kExpression)));
}

// A memo's bracket: frGetFormattedValue with a number format on the memo.
void FormattedValue(benchmark::State& state, const std::string& expression,
                    const std::string& expected) {
    Data();
    InstallExpressionEvaluator();
    TfrMemoView memo;
    memo.FormatCode = frFormatCode(fcNumber, 1, 2, '.');
    frEngine().CurrentObject = &memo;
    if (frGetFormattedValue(expression) != text::Utf8ToCp936(expected))
        state.SkipWithError("wrong value");
    for (auto _ : state) benchmark::DoNotOptimize(frGetFormattedValue(expression));
    frEngine().CurrentObject = nullptr;
}

void BM_FormattedExpression(benchmark::State& state) {
    FormattedValue(state, kExpression, "商品标签 6901234567892");
}

void BM_FormattedField(benchmark::State& state) {
    FormattedValue(state, "frDBDataSet1.\"NUM\" #N0", "6901234567892");
}

BENCHMARK(BM_EvaluateCompiled)->Iterations(1000000);
BENCHMARK(BM_CompileAndEvaluate)->Iterations(1000000);
BENCHMARK(BM_FormattedExpression)->Iterations(1000000);
BENCHMARK(BM_FormattedField)->Iterations(1000000);

} // namespace

BENCHMARK_MAIN();
