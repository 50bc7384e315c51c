// Scripts through the engine's installed hooks: compiled once, run against
// the current report's values, objects and variables.

#include "value_fixture.h"

#include "report/engine/interpreter.h"
#include "report/model/page.h"

#include <gtest/gtest.h>

using rtl::TVariant;

class ReportScripts : public enginetest::ValueTest {
protected:
    void SetUp() override {
        ValueTest::SetUp();
        report_.Pages->Add();
        memo1_ = &AddMemo("Memo1");
        memo2_ = &AddMemo("Memo2");
    }

    TfrMemoView& AddMemo(const std::string& name) {
        auto memo = std::make_unique<TfrMemoView>();
        memo->Name = name;
        return static_cast<TfrMemoView&>(report_.Pages->Items(0).AddObject(std::move(memo)));
    }

    // Compiles the script as the build does and runs it as memo2's.
    void RunOnMemo2(const std::string& source) {
        rtl::TStringList script;
        script.SetText(source);
        frEngineHooks().CompileScript(script);
        frEngineHooks().RunScript(*memo2_, script);
    }

    static TVariant Var(const std::string& name) {
        return frGlobals().ScriptVariables.GetVariable(name);
    }

    TfrMemoView* memo1_ = nullptr;
    TfrMemoView* memo2_ = nullptr;
};

TEST_F(ReportScripts, ScriptsChangeVariablesAndObjects) {
    report_.Dictionary->Variables.SetVariable("Tax", TVariant("0"));
    frGlobals().ScriptVariables.SetVariable("Base", TVariant(40));

    RunOnMemo2("Visible := False");
    EXPECT_FALSE(memo2_->Visible); // a bare property is the running object's
    EXPECT_TRUE(memo1_->Visible);
    RunOnMemo2("Memo1.Visible := False");
    EXPECT_FALSE(memo1_->Visible);
    RunOnMemo2("x := 5");
    EXPECT_EQ(Var("X").AsInteger(), 5);

    RunOnMemo2("begin s := 0; for i := 1 to 3 do s := s + i end");
    EXPECT_EQ(Var("S").AsInteger(), 6);
    EXPECT_EQ(Var("I").AsInteger(), 4);
    RunOnMemo2("begin n := 0; 10: n := n + 1; if n < 3 then goto 10 end");
    EXPECT_EQ(Var("N").AsInteger(), 3);
    RunOnMemo2("begin exit; never := 1 end");
    EXPECT_EQ(frGlobals().ScriptVariables.IndexOf("NEVER"), -1);

    // Names read what memo expressions read; dictionary variables take
    // assignments.
    RunOnMemo2("begin Tax := Base + 2; Left := Base * 2 end");
    EXPECT_EQ(report_.Dictionary->Variables.GetVariable("Tax").AsInteger(), 42);
    EXPECT_EQ(memo2_->Left, 80);
    // Calls reach the report's functions: arrays through SETARRAY/GETARRAY.
    RunOnMemo2("begin a[2] := 5; b := a[2] + 1 end");
    EXPECT_EQ(Var("B").AsInteger(), 6);
    // Chinese text in a string and a comment never breaks the statement.
    RunOnMemo2(text::L("begin t := '条码' + '错误'; // 注释\n u := 1 end"));
    EXPECT_EQ(Var("T").AsString(), text::L("条码错误"));
    EXPECT_EQ(Var("U").AsInteger(), 1);
    // The current object is restored after the script.
    EXPECT_EQ(frEngine().CurrentObject, nullptr);
}

TEST_F(ReportScripts, PageScriptsCompileAndRun) {
    TfrPage& page = report_.Pages->Items(0);
    page.PageScript.SetText("begin p := 2; q := p * 3 end");
    page.RunPageScript();
    EXPECT_EQ(Var("Q").AsInteger(), 6);
}

TEST_F(ReportScripts, ErrorsReachTheCaller) {
    // An unknown name is the parser's error, not a silent null.
    EXPECT_THROW(RunOnMemo2("y := NoSuchName + 1"), EParserError);
    // A script that never ends stops with its own error.
    frGlobals().Interpreter.SetStepLimit(10'000);
    EXPECT_THROW(RunOnMemo2("while 1 = 1 do z := 1"), EScriptStepLimit);
    // A syntax fault keeps the code made up to it: the build ignores it.
    RunOnMemo2("begin ok := 1; bad bad end");
    EXPECT_EQ(Var("OK").AsInteger(), 1);
}
