#pragma once
// A main window's worth of data for expression and dictionary tests: a
// SQLite table walked by frDBDataSet1 over ADOQuery1, both owned by the
// form "frmPrint" together with the current report, and the expression
// evaluator installed. Every hook is reset afterwards.

#include "platform/db/db_test_util.h"

#include "report/core/process_state.h"
#include "report/engine/db_dataset.h"
#include "report/engine/expression_evaluator.h"
#include "report/model/report.h"

#include <memory>

namespace enginetest {

class DataFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const std::string path = dir_.path().toStdString() + "/labels.db";
        // The SQL is UTF-8, as the database keeps its text.
        dbtest::MakeSqlite(path, R"sql(
            CREATE TABLE Goods (Code VARCHAR(10), "Item Name" TEXT, "No.1" INTEGER, Price REAL);
            INSERT INTO Goods VALUES ('c1', '苹果', 1, 2.5), ('c2', '梨', 2, 1.0);
        )sql");
        conn_.SetConnectionString(dbtest::JetConnectionString(dbtest::G(path)));
        query_.SetSQL("select * from [Goods]");
        dataSet_.SetDataSet(&query_);
        report_.Dataset = &dataSet_;
        form_ = std::make_unique<TfrComponentContainer>("frmPrint", TfrContainerKind::Form);
        form_->AddComponent("ADOQuery1", &query_);
        form_->AddComponent("frDBDataSet1", &dataSet_);
        form_->AddComponent("frReport1", &report_);
        SetCurReport(&report_);
        InstallExpressionEvaluator();
    }
    void TearDown() override {
        frEngineHooks().Calculate = nullptr;
        frDictionaryHooks() = TfrDictionaryHooks{};
        SetCurReport(nullptr);
        form_.reset();
    }

    TfrDataDictionary& Dictionary() { return *report_.Dictionary; }

    QTemporaryDir dir_;
    db::TADOConnection conn_;
    db::TADOQuery query_{&conn_};
    TfrDBDataSet dataSet_{"frDBDataSet1"};
    TfrReport report_;
    std::unique_ptr<TfrComponentContainer> form_;
};

} // namespace enginetest
