#pragma once
// A current report with the engine's value side installed, and hand-made
// run-time bands and a page for what the band engine will provide: the
// values, functions and aggregates read them through TfrRunBand and
// TfrRunPage only.

#include "platform/rtl/string_list.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/globals.h"
#include "report/engine/run_band.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace enginetest {

class FakeRunBand : public TfrRunBand {
public:
    FakeRunBand(int type, std::string name) : type_(type) { Name = std::move(name); }

    int BandType() const override { return type_; }
    int Left() const override { return 0; }
    int Top() const override { return 0; }
    int Width() const override { return 100; }
    int Height() const override { return 20; }
    bool Visible() const override { return visible; }
    void SetLeft(int) override {}
    void SetTop(int) override {}
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void SetVisible(bool value) override { visible = value; }
    void SetChildBand(const std::string&) override {}
    bool PageBreak() const override { return false; }
    void SetPageBreak(bool) override {}
    void SetGroupCondition(const std::string&) override {}
    void SetDataSource(const std::string&) override {}
    bool HasDataSet() const override { return hasDataSet; }
    bool DataSetEof() override { return true; }
    void DataSetFirst() override {}
    void DataSetNext() override {}
    void DataSetPrior() override {}

    bool IsPresent() const override { return present; }
    TfrRunBand* NextBand() const override { return next; }
    TfrRunBand* ChildLink() const override { return child; }
    TfrRunBand* FirstBand() const override {
        return first ? first : const_cast<FakeRunBand*>(this);
    }
    TfrDataset* DataSet() const override { return dataSet; }
    bool HasCrossObjects() const override { return crossObjects; }
    const rtl::TStringList& Script() const override { return script; }
    int ObjectCount() const override { return static_cast<int>(objects.size()); }
    TfrView* ObjectAt(int index) const override {
        return objects.at(static_cast<std::size_t>(index)).get();
    }

    // A memo on the band with one line of text.
    TfrMemoView& AddMemo(const std::string& line) {
        auto memo = std::make_unique<TfrMemoView>();
        memo->Memo.Add(line);
        objects.push_back(std::move(memo));
        return static_cast<TfrMemoView&>(*objects.back());
    }

    bool visible = true;
    bool present = true;
    bool hasDataSet = false;
    bool crossObjects = false;
    TfrRunBand* next = nullptr;
    TfrRunBand* child = nullptr;
    TfrRunBand* first = nullptr;
    TfrDataset* dataSet = nullptr;
    rtl::TStringList script;
    std::vector<std::unique_ptr<TfrView>> objects;

private:
    int type_;
};

class FakeRunPage : public TfrRunPage {
public:
    TfrRunBand* RunBand(int bandType) const override {
        const auto it = bands.find(bandType);
        return it == bands.end() ? nullptr : it->second;
    }
    int CurrentY() const override { return currentY; }
    void SetCurrentY(int y) override { currentY = y; }
    int BottomY() const override { return bottomY; }
    int PageWidth() const override { return pageWidth; }
    int CrossColumnNo() const override { return crossColumnNo; }
    int RecordNo() const override { return recordNo; }
    void ShowBandByName(const std::string& name) override { shownBands.push_back(name); }
    bool IsDialogPage() const override { return dialog; }
    void SetModalResult(int result) override { modalResult = result; }

    // The band heads the chain of its type.
    void Put(FakeRunBand& band) { bands[band.BandType()] = &band; }

    std::map<int, TfrRunBand*> bands;
    int currentY = 100;
    int bottomY = 1000;
    int pageWidth = 756;
    int crossColumnNo = 1;
    int recordNo = 1;
    bool dialog = false;
    int modalResult = 0;
    std::vector<std::string> shownBands;
};

// 2024-03-05 14:30:00 as the clock.
constexpr double kFixedNow = 45356.0 + 14.5 / 24.0;

class ValueTest : public ::testing::Test {
protected:
    void SetUp() override {
        frGuiHooks().Now = [] { return kFixedNow; };
        SetCurReport(&report_);
        InstallExpressionEvaluator();
    }
    void TearDown() override {
        SetCurReport(nullptr);
        frResetProcessState();
    }

    static rtl::TVariant Calc(const std::string& expression) { return frCalculate(expression); }
    static std::string G(const std::string& utf8) { return text::L(utf8); }

    TfrReport report_;
};

} // namespace enginetest
