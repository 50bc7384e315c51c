// The dictionary block of every layout, dictionary files and template
// gallery files.

#include "template_test_support.h"

#include "platform/db/ado_query.h"
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
