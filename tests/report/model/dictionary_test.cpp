// The dictionary block of every layout, dictionary files and template
// gallery files.

#include "template_test_support.h"

#include "platform/db/ado_query.h"
#include "report/engine/data_fixture.h"
#include "report/model/template_gallery.h"

#include <filesystem>

using namespace model_test;

class Dictionary : public TemplateTest {};

TEST_F(Dictionary, BlockRoundTripsAndFlipsOlderCategoryMarks) {
    TfrDataDictionary d;
    // Older blocks marked the variables with the blank, not the categories.
    const std::string older = Bytes()
                                  .u16(0xFFFE)
                                  .i32(3)
                                  .str("Goods")
                                  .str("")
                                  .str(" code")
                                  .str("Orders.Num")
                                  .str(" qty")
                                  .str("12")
                                  .i32(0)
                                  .i32(0);
    auto ms = StreamOf(older);
    d.LoadFromStream(*ms);
    ASSERT_EQ(d.Variables.Count(), 3);
    EXPECT_EQ(d.Variables.Name(0), " Goods");
    EXPECT_EQ(d.Variables.Name(1), "code");
    rtl::TStringList cats, vars;
    d.GetCategoryList(cats);
    d.GetVariablesOfCategory("GOODS", vars);
    EXPECT_EQ(cats.Text(), "Goods\r\n");
    EXPECT_EQ(vars.Text(), "code\r\nqty\r\n");

    // Written in the current layout, read back unchanged.
    rtl::TMemoryStream out;
    d.SaveToStream(out);
    TfrDataDictionary again;
    out.SetPosition(0);
    again.LoadFromStream(out);
    rtl::TMemoryStream out2;
    again.SaveToStream(out2);
    EXPECT_EQ(out2.Bytes(), out.Bytes());
}

TEST_F(Dictionary, MarkerMinusOneTidiesTheAliasLists) {
    const std::string block = Bytes()
                                  .u16(0xFFFF)
                                  .i32(0)
                                  .i32(2)
                                  .str("Orders.Gone")
                                  .str("Old")
                                  .str("Orders.Num")
                                  .str("No")
                                  .i32(2)
                                  .str("ds1")
                                  .str("")
                                  .str("ds2")
                                  .str("Data");
    TfrDataDictionary d;
    // Orders is there and has Num but no longer Gone.
    db::TADOQuery orders;
    frDictionaryHooks().FindDataField = [&](const std::string& n, db::TADOQuery*& ds,
                                            std::string& field) {
        ds = &orders;
        field = n == "Orders.Num" ? "Num" : "";
        return !field.empty();
    };
    auto ms = StreamOf(block);
    d.LoadFromStream(*ms);
    frDictionaryHooks() = TfrDictionaryHooks{};
    ASSERT_EQ(d.FieldAliases.Count(), 1);
    EXPECT_EQ(d.FieldAliases.Name(0), "Orders.Num");
    ASSERT_EQ(d.BandDatasources.Count(), 1);
    EXPECT_EQ(d.BandDatasources.Name(0), "ds2");
}

TEST_F(Dictionary, DisabledPrefixHidesEveryMatchingDataSet) {
    TfrDataDictionary d;
    d.DisabledDatasets.Add("Temp*");
    d.DisabledDatasets.Add("Audit");
    EXPECT_FALSE(d.IsDataSetEnabled("TempOrders"));
    EXPECT_FALSE(d.IsDataSetEnabled("audit"));
    EXPECT_TRUE(d.IsDataSetEnabled("Orders"));
}

TEST_F(Dictionary, DictionaryFilesCarryAVersionByte) {
    const std::string path = std::string(TEST_OUTPUT_DIR) + "/labels.frd";
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    TfrDataDictionary d;
    d.Variables.Set(" Cat", rtl::TVariant(""));
    d.Variables.Set("v", rtl::TVariant("1+1"));
    d.SaveToFile(path);
    rtl::TMemoryStream file;
    file.LoadFromFile(path);
    EXPECT_EQ(
        Hex(file.Bytes()),
        Hex(Bytes().u8(25).u16(0xFFFE).i32(2).str(" Cat").str("").str("v").str("1+1").i32(0).i32(
            0)));

    // Reading skips the first byte whatever it holds.
    file.Memory()[0] = 7;
    file.SaveToFile(path);
    TfrDataDictionary back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Variables.Get("V").AsString(), "1+1");
}

TEST_F(Dictionary, GalleryFileKeepsDescriptionPictureAndTemplate) {
    const std::string path = std::string(TEST_OUTPUT_DIR) + "/label.frt";
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    TfrReport report;
    report.Pages->Add();
    report.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "Price";
    rtl::TStringList description;
    description.Add(Gbk("价格标签"));
    frSaveTemplateGalleryFile(report, path, description, "BMfake");

    rtl::TFileStream in(path, rtl::fmOpenRead);
    const TfrTemplateGalleryHeader header = frReadTemplateGalleryHeader(in);
    EXPECT_EQ(header.Description[0], Gbk("价格标签"));
    EXPECT_EQ(header.Picture, "BMfake");
    EXPECT_EQ(in.Position(), header.PagesPosition);

    TfrReport loaded;
    EXPECT_EQ(frLoadTemplateGalleryFile(loaded, path), TfrLoadResult::Loaded);
    EXPECT_NE(loaded.FindObject("price"), nullptr);

    // A damaged gallery file is a damaged template.
    rtl::TMemoryStream bad;
    bad.WriteBytes(Bytes().u16(1).u16(2).raw("ab").u8(0).i32(999).u8(1).str());
    bad.SetPosition(0);
    EXPECT_EQ(frLoadTemplateGallery(loaded, bad), TfrLoadResult::FormatError);
    EXPECT_EQ(messages, std::vector<std::string>{UnsupportedMessage()});
    EXPECT_EQ(loaded.Pages->Count(), 1);
}

// Look-ups over a real query: fields by name, alias and quoted name,
// variables, the cache, and the filtered lists the designer shows.
class DictionaryLookups : public enginetest::DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        TfrDataDictionary& d = Dictionary();
        d.FieldAliases.SetVariable("frDBDataSet1", rtl::TVariant(Gbk("货品")));
        d.FieldAliases.SetVariable("frDBDataSet1.\"Item Name\"", rtl::TVariant(Gbk("名称")));
        d.FieldAliases.SetVariable("frDBDataSet1.Code", rtl::TVariant(""));
        d.Variables.SetVariable(" Cat", rtl::TVariant(""));
        d.Variables.SetVariable("Barcode", rtl::TVariant("frDBDataSet1.\"Code\""));
        d.Variables.SetVariable("Half", rtl::TVariant("1.5 * 2"));
        d.Variables.SetVariable("Blank", rtl::TVariant(""));
        d.Variables.SetVariable("Self", rtl::TVariant("Self + 1"));
        d.Variables.SetVariable("Ping", rtl::TVariant("[Pong] + 1"));
        d.Variables.SetVariable("Pong", rtl::TVariant("Ping"));
    }
};

TEST_F(DictionaryLookups, FieldsResolveByNameAliasAndQuotedName) {
    TfrDataDictionary& d = Dictionary();
    struct Case {
        std::string name;
        std::string value; // "" when the name is no field or variable
    };
    const Case cases[] = {
        {"frDBDataSet1.\"Item Name\"", Gbk("苹果")},
        {"frdbdataset1.Code", "c1"},
        {Gbk("货品.\"名称\""), Gbk("苹果")},     // data-set and field aliases
        {"frmPrint.frDBDataSet1.\"No.1\"", "1"}, // a period inside the quotes
        {"frmPrint.ADOQuery1.Price", "2.5"},     // the query itself
        {"frDBDataSet1.\"Nothing\"", ""},
        {"Memo2.Visible", ""}, // no such component: not a field
        {"Memo3.Memo", ""},
        {"Code", ""},      // no data-set part, no default
        {"Barcode", "c1"}, // a variable bound to a field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_THROW(EXPECT_EQ(d.IsVariable(c.name), !c.value.empty()));
        if (!c.value.empty()) {
            EXPECT_EQ(d.GetValue(c.name).AsString(), c.value);
        }
    }
    // Resolved names are cached, and the cache opens a closed data set.
    EXPECT_EQ(d.Cache.count("BARCODE"), 1u);
    query_.Close();
    EXPECT_EQ(d.GetValue("Barcode").AsString(), "c1");
    EXPECT_TRUE(query_.Active());

    // A bare field name resolves only with default data-set names on.
    report_.UseDefaultDataSetName = true;
    EXPECT_TRUE(d.IsVariable("Code"));
    query_.Next();
    EXPECT_EQ(d.GetValue("code").AsString(), "c2");
}

TEST_F(DictionaryLookups, VariablesEvaluateOnceAndLoopsEndInAnError) {
    TfrDataDictionary& d = Dictionary();
    EXPECT_TRUE(d.IsVariable("Half")); // "1.5" is no data set
    EXPECT_TRUE(d.GetValue("Half").Identical(rtl::TVariant(3.0)));
    EXPECT_TRUE(d.GetValue("Blank").Identical(rtl::TVariant("")));
    EXPECT_TRUE(d.GetValue("Unknown").IsNull());
    EXPECT_FALSE(d.IsVariable("Unknown"));
    EXPECT_THROW(d.GetValue("Self"), EfrCircularVariable);
    EXPECT_THROW(d.GetValue("Ping"), EfrCircularVariable);
    EXPECT_TRUE(d.GetValue("Half").Identical(rtl::TVariant(3.0))); // nothing left behind

    // A script variable of the same name wins over the dictionary's text.
    TfrVariables script;
    script.SetVariable("half", rtl::TVariant(9));
    frDictionaryHooks().ScriptVariables = [&]() -> const TfrVariables* { return &script; };
    EXPECT_TRUE(d.GetValue("Half").Identical(rtl::TVariant(9)));
}

TEST_F(DictionaryLookups, NamesAndAliasesMapBothWays) {
    TfrDataDictionary& d = Dictionary();
    std::string ds, field;
    EXPECT_TRUE(TfrDataDictionary::SplitFieldName("a.b.\"c.d\"", ds, field));
    EXPECT_EQ(ds, "a.b");
    EXPECT_EQ(field, "c.d");
    EXPECT_TRUE(TfrDataDictionary::SplitFieldName("a.\"\"", ds, field));
    EXPECT_EQ(field, "\"\"");
    EXPECT_FALSE(TfrDataDictionary::SplitFieldName("\"x.y\"", ds, field));

    EXPECT_EQ(d.RealDataSetName(Gbk("货品")), "frDBDataSet1");
    EXPECT_EQ(d.RealDataSetName("Other"), "Other");
    EXPECT_EQ(d.RealFieldName(Gbk("名称")), "Item Name");
    EXPECT_EQ(d.AliasOf("frdbdataset1"), Gbk("货品"));
    EXPECT_EQ(d.AliasOf("frDBDataSet1.Code"), "frDBDataSet1.Code"); // empty alias
    d.BandDatasources.SetVariable("frDBDataSet1", rtl::TVariant("Data"));
    EXPECT_EQ(d.RealBandDataSourceName("data"), "frDBDataSet1");
}

TEST_F(DictionaryLookups, ListsOfferWhatTheFormsOwnFilteredAndAliased) {
    db::TADOQuery orders(&conn_), tempA(&conn_);
    TfrUserDataset counter("frUserDataset1");
    TfrComponentContainer module("DataModule1", TfrContainerKind::DataModule);
    module.AddComponent("Orders", &orders);
    module.AddComponent("TempA", &tempA);
    module.AddComponent("frUserDataset1", &counter);
    TfrDataDictionary& d = Dictionary();
    d.DisabledDatasets.Add("DataModule1.Temp*");

    rtl::TStringList list;
    TfrDataDictionary plain;
    plain.DisabledDatasets.Add("DataModule1.Temp*");
    plain.GetDataSetList(list);
    EXPECT_EQ(list.CommaText(), "ADOQuery1,DataModule1.Orders");
    plain.GetBandDataSourceList(list);
    EXPECT_EQ(list.CommaText(), "DataModule1.frUserDataset1,frDBDataSet1");

    // With aliases only the listed ones, by their aliases.
    d.FieldAliases.SetVariable("ADOQuery1", rtl::TVariant("Q"));
    d.FieldAliases.SetVariable("ADOQuery1.Code", rtl::TVariant(""));
    d.FieldAliases.SetVariable("ADOQuery1.\"Item Name\"", rtl::TVariant(Gbk("名称")));
    d.GetDataSetList(list);
    EXPECT_EQ(list.CommaText(), "Q");
    d.BandDatasources.SetVariable("frDBDataSet1", rtl::TVariant("Data"));
    d.GetBandDataSourceList(list);
    EXPECT_EQ(list.CommaText(), "Data");

    d.GetFieldList("ADOQuery1", list);
    EXPECT_EQ(list.CommaText(), Gbk("名称,No.1,Price"));
    d.GetFieldList("Q", list); // by its alias
    EXPECT_EQ(list.CommaText(), Gbk("名称,No.1,Price"));
    d.GetFieldList("Nowhere", list);
    EXPECT_TRUE(list.Empty());
}

TEST_F(DictionaryLookups, OlderBlocksDropAliasesOfFieldsTheirDataSetNoLongerHas) {
    const std::string block = Bytes()
                                  .u16(0xFFFF)
                                  .i32(0)
                                  .i32(4)
                                  .str("frDBDataSet1.\"Gone\"")
                                  .str("Old")
                                  .str("frDBDataSet1.Code")
                                  .str("No")
                                  .str("Elsewhere.Field") // no such data set here: kept
                                  .str("E")
                                  .str("frDBDataSet1")
                                  .str("D")
                                  .i32(0);
    TfrDataDictionary d;
    auto ms = StreamOf(block);
    d.LoadFromStream(*ms);
    ASSERT_EQ(d.FieldAliases.Count(), 3);
    EXPECT_EQ(d.FieldAliases.Name(0), "frDBDataSet1.Code");
    EXPECT_EQ(d.FieldAliases.Name(1), "Elsewhere.Field");
    EXPECT_EQ(d.FieldAliases.Name(2), "frDBDataSet1");
}
