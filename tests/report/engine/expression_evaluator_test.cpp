// The installed evaluator end to end: memo tags, list methods and picture
// files evaluate through the current report's data sets and dictionary.

#include "report/engine/data_fixture.h"

#include "platform/rtl/string_list.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/parser.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"

#include <QImage>

using dbtest::G;

namespace {

class Evaluator : public enginetest::DataFixture {};

TEST_F(Evaluator, MemoTagsListMethodsAndPictureFilesEvaluate) {
    query_.Open();
    query_.Next();
    Dictionary().Variables.SetVariable("Label",
                                       rtl::TVariant("COPY([frDBDataSet1.\"Code\"], 2, 1)"));

    TfrMemoView memo;
    std::string tag = G("编号[frDBDataSet1.\"Code\"]/[Label]/[frDBDataSet1.\"Price\" * 2]");
    memo.ExpandTag(tag);
    EXPECT_EQ(tag, G("编号c2/2/2"));

    memo.CallMethod("MEMO.ADD", rtl::TVariant("[frDBDataSet1.\"Item Name\"] + '!'"), {}, {});
    memo.CallMethod("LINES.ADD", rtl::TVariant("IF([frDBDataSet1.\"No.1\"] = 2, 'two', 'other')"),
                    {}, {});
    EXPECT_EQ(memo.Memo.Text(), G("梨!\r\ntwo\r\n"));

    // LOADFROMFILE takes an expression that names the file.
    const std::string file = dir_.path().toStdString() + "/c2.bmp";
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(QString::fromStdString(file), "BMP"));
    Dictionary().Variables.SetVariable("Folder",
                                       rtl::TVariant("'" + dir_.path().toStdString() + "/'"));
    TfrPictureView picture;
    picture.CallMethod("LOADFROMFILE", rtl::TVariant("Folder + [frDBDataSet1.\"Code\"] + '.bmp'"),
                       {}, {});
    EXPECT_EQ(picture.Picture.Width(), 4);
}

TEST_F(Evaluator, BareFieldNamesNeedTheDefaultDataSetSwitch) {
    query_.Open();
    try {
        frCalculate("[Code]");
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.what(), LoadResourceString(frsUndefinedSymbol) + " \"CODE\"");
    }
    report_.UseDefaultDataSetName = true;
    EXPECT_EQ(frCalculate("[Code] + Code").AsString(), "c1c1");
}

TEST_F(Evaluator, ReportEventsAnswerFirst) {
    report_.OnGetValue = [](const std::string& name, rtl::TVariant& value) {
        if (name == "NOTHING") value = rtl::TVariant::Null();
        if (name == "ANSWER") value = rtl::TVariant(42);
    };
    report_.OnUserFunction = [](const std::string& name, const rtl::TVariant& p1,
                                const rtl::TVariant&, const rtl::TVariant&, rtl::TVariant& value) {
        if (name == "TWICE") value = frCalculate(p1.AsString()) * rtl::TVariant(2);
    };
    EXPECT_TRUE(frCalculate("Nothing").IsNull()); // Null set by the event stops the search
    EXPECT_TRUE(frCalculate("TWICE(Answer)").Identical(rtl::TVariant(84)));
    EXPECT_TRUE(frCalculate("Unknown(1)").Identical(rtl::TVariant("0")));
    EXPECT_THROW(frCalculate("Elsewhere"), EParserError);
}

} // namespace
