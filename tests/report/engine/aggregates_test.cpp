// Aggregates through the calls the band engine makes: registration before
// a page, accumulation per record, reading in a footer, reset after it.

#include "report/engine/value_fixture.h"

#include "report/engine/aggregates.h"
#include "report/engine/parser.h"

namespace {

using enginetest::FakeRunBand;
using enginetest::FakeRunPage;
using rtl::TVariant;

class Aggregates : public enginetest::ValueTest {
protected:
    void SetUp() override {
        ValueTest::SetUp();
        master1_.hasDataSet = true;
        master2_.hasDataSet = true;
        master1_.next = &master2_;
        page_.Put(master1_);
        page_.Put(footer_);
        page_.Put(summary_);
        page_.Put(header_);
        frGlobals().CurrentRunPage = &page_;
    }

    // One record of a data band with this Amount.
    void Row(FakeRunBand& data, double amount) {
        frGlobals().ScriptVariables.SetVariable("Amount", TVariant(amount));
        frEngine().CurrentBand = &data;
        AccumulateRow(data);
    }

    // An aggregate call as a footer evaluates it while it prints.
    TVariant Read(FakeRunBand& footer, const std::string& call) {
        frEngine().CurrentBand = &footer;
        return frCalculate(call);
    }

    FakeRunPage page_;
    FakeRunBand master1_{btMasterData, "MasterData1"};
    FakeRunBand master2_{btMasterData, "MasterData2"};
    FakeRunBand footer_{btMasterFooter, "MasterFooter1"};
    FakeRunBand summary_{btReportSummary, "ReportSummary1"};
    FakeRunBand header_{btMasterHeader, "MasterHeader1"};
};

TEST_F(Aggregates, RegisterAccumulateReadAndReset) {
    footer_.AddMemo("Total [SUM([Amount])] / [SUM([Amount], MasterData2)] [MIN([Amount])]");
    summary_.AddMemo("[AVG([Amount])] [MAX([Amount])] [COUNT(MasterData1)]");
    summary_.AddMemo("[AllRows]"); // a dictionary variable holding a call
    report_.Dictionary->Variables.SetVariable("AllRows", TVariant("COUNT(MasterData1, 1)"));
    header_.AddMemo("[SUM([Amount])]"); // a header totals nothing

    RegisterBandAggregates(page_);
    EXPECT_FALSE(frGlobals().CollectingAggregates);
    EXPECT_EQ(frEngine().CurrentBand, nullptr);
    EXPECT_EQ(footer_.AggregateSource, &master2_);
    EXPECT_EQ(footer_.AggregateSources, (std::vector<TfrRunBand*>{&master1_, &master2_}));
    EXPECT_EQ(header_.AggregateSource, nullptr);
    // SUM, MIN, AVG, MAX: the band a call names is not part of its key.
    EXPECT_EQ(master2_.Accumulators.Count(), 4);

    Row(master1_, -5);
    Row(master1_, -2);
    master1_.visible = false; // counted only where the flag asks for it
    Row(master1_, -1);
    master1_.visible = true;
    Row(master2_, 10);
    Row(master2_, 20);

    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), -7);
    EXPECT_EQ(Read(footer_, "SUM([Amount], MasterData2)").AsDouble(), 30);
    EXPECT_EQ(Read(footer_, "MIN([Amount])").AsDouble(), -5);
    EXPECT_DOUBLE_EQ(Read(summary_, "AVG([Amount])").AsDouble(), -7.0 / 3);
    EXPECT_EQ(Read(summary_, "MAX([Amount])").AsDouble(), 0); // the start value beats negatives
    EXPECT_EQ(Read(summary_, "COUNT(MasterData1)").AsInteger(), 2);
    EXPECT_EQ(Read(summary_, "COUNT(MasterData1, 1)").AsInteger(), 3);
    EXPECT_EQ(Read(header_, "SUM([Amount])").AsString(), "0");
    EXPECT_TRUE(Read(footer_, "SUM([Price])").IsNull()); // registered nowhere: no total

    // The footer printed: its totals start again, and the data band's row
    // count, which every footer's AVG shares, too.
    ResetAggregates(footer_);
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 0);
    EXPECT_EQ(Read(footer_, "MIN([Amount])").AsDouble(), 1e300); // MIN over no rows
    EXPECT_EQ(Read(summary_, "AVG([Amount])").AsDouble(), 0);
    Row(master1_, -3);
    EXPECT_EQ(Read(summary_, "AVG([Amount])").AsDouble(), -10); // the full sum over one row
    EXPECT_EQ(Read(summary_, "COUNT(MasterData1)").AsInteger(), 3);
    // Registering again starts every total afresh.
    RegisterBandAggregates(page_);
    EXPECT_EQ(Read(summary_, "COUNT(MasterData1)").AsInteger(), 0);
}

TEST_F(Aggregates, ScriptsChildBandsAndLaterBandsOfAType) {
    // A band script's compiled lines: a call, an assignment, a condition.
    footer_.script.Add("\x03SUM([Amount])");
    footer_.script.Add("x MAX([Amount])1 +");
    footer_.script.Add(std::string("\x01\x05") + '\0' + "MIN([Amount])0 >");
    FakeRunBand child(btChild, "Child1");
    child.AddMemo("[SUM([Amount], MasterData1)]");
    footer_.child = &child;
    FakeRunBand footer2(btMasterFooter, "MasterFooter2");
    footer2.AddMemo("[COUNT(MasterData1)]");
    footer_.next = &footer2;
    FakeRunBand absent(btMasterFooter, "Absent");
    absent.present = false;
    absent.AddMemo("[COUNT(MasterData1)]");
    footer2.next = &absent;
    master1_.next = nullptr;

    RegisterBandAggregates(page_);
    EXPECT_EQ(master1_.Accumulators.Count(), 5);
    EXPECT_EQ(child.AggregateSource, &master1_);
    EXPECT_EQ(footer2.AggregateSource, &master1_);
    EXPECT_EQ(absent.AggregateSource, nullptr);
    Row(master1_, 4);
    Row(master1_, 6);
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 10);
    EXPECT_EQ(Read(footer_, "MAX([Amount])").AsDouble(), 6);
    EXPECT_EQ(Read(footer_, "MIN([Amount])").AsDouble(), 4);
    EXPECT_EQ(Read(child, "SUM([Amount], MasterData1)").AsDouble(), 10);
    EXPECT_EQ(Read(footer2, "COUNT(MasterData1)").AsInteger(), 2);
}

TEST_F(Aggregates, CrossTabBandsKeepATotalPerColumn) {
    master1_.next = nullptr;
    master1_.crossObjects = true;
    footer_.crossObjects = true;
    footer_.AddMemo("[SUM([Amount])]");
    RegisterBandAggregates(page_);
    ASSERT_EQ(master1_.Accumulators.Count(), 1);
    EXPECT_EQ(master1_.Accumulators.Name(0).substr(0, 2), "0\x01");

    page_.crossColumnNo = 1;
    Row(master1_, 5);
    page_.crossColumnNo = 2;
    Row(master1_, 7);
    Row(master1_, 1);
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 8);
    page_.crossColumnNo = 1;
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 5);
    ResetAggregates(footer_);
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 0);
    page_.crossColumnNo = 2;
    EXPECT_EQ(Read(footer_, "SUM([Amount])").AsDouble(), 0);
}

TEST_F(Aggregates, RegistrationErrorsLeaveTheFlagsAsTheyWere) {
    footer_.AddMemo("[SUM([Amount], MasterData1)] [SUM(]");
    EXPECT_THROW(RegisterBandAggregates(page_), EParserError);
    EXPECT_FALSE(frGlobals().CollectingAggregates);
    EXPECT_EQ(frGlobals().AggregateTargetBand, nullptr);
    EXPECT_EQ(frEngine().CurrentBand, nullptr);
}

TEST_F(Aggregates, TheSyntaxCheckTellsWhatWouldNotRegister) {
    const std::vector<std::pair<std::string, int>> dataBands = {{"MasterData1", btMasterData},
                                                                {"DetailData1", btDetailData}};
    struct Case {
        const char* call;
        int bandType;
        TfrAggregateCheck expected;
    };
    const Case cases[] = {
        {"SUM([Amount])", btMasterFooter, TfrAggregateCheck::Registered},
        {"SUM([Amount])", btDetailFooter, TfrAggregateCheck::Registered},
        {"SUM([Amount])", btSubDetailFooter, TfrAggregateCheck::NoDataBand},
        {"SUM([Amount])", btMasterData, TfrAggregateCheck::NoDataBand},
        {"sum([Amount], detaildata1)", btDetailFooter, TfrAggregateCheck::Registered},
        {"SUM([Amount], DetailData1)", btMasterFooter, TfrAggregateCheck::Registered},
        {"SUM([Amount], MasterData1)", btDetailFooter, TfrAggregateCheck::UnknownBand},
        {"SUM([Amount], Nowhere)", btMasterFooter, TfrAggregateCheck::UnknownBand},
        {"COUNT(MasterData1, 1)", btPageFooter, TfrAggregateCheck::Registered},
        {"COUNT()", btReportSummary, TfrAggregateCheck::Registered},
        {"TRIM(x)", btMasterFooter, TfrAggregateCheck::NotAnAggregate},
        {"SUM", btMasterFooter, TfrAggregateCheck::NotAnAggregate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        EXPECT_EQ(CheckAggregateCall(c.call, c.bandType, dataBands), c.expected);
    }
}

} // namespace
