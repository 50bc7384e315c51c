// The property tables: whatever an entry takes, it gives back, through the
// table and by name, for every class and every band and page kind.

#include "model_test_support.h"

#include "platform/rtl/sysutils.h"
#include "report/model/band_view.h"
#include "report/model/page.h"

#include <functional>
#include <memory>
#include <vector>

using namespace model_test;
using rtl::TVariant;

namespace {

class TestControl : public TfrControl {
public:
    void PaintControl() override {}

protected:
    void SetControlVisible(bool) override {}
    void SetControlSize(int, int) override {}
};

// A value of the entry's own kind that differs from the current one: for a
// choice, another of its values.
TVariant OtherValue(TfrObject& object, const TfrPropertyEntry& entry, const TVariant& current) {
    switch (current.VarType()) {
    case rtl::TVarType::Boolean:
        return TVariant(!current.AsBoolean());
    case rtl::TVarType::Double:
        return TVariant(current.AsDouble() + 0.5);
    case rtl::TVarType::String:
        // Several lines: the lists' text comes back as it was set.
        return TVariant(current.AsString() + "A\r\nB\r\n");
    case rtl::TVarType::Integer: {
        if (entry.Type & frdtEnum) {
            std::string names;
            std::vector<TVariant> values;
            entry.Choices(object, names, values);
            for (const TVariant& v : values)
                if (v.VarType() == rtl::TVarType::Integer && !v.Identical(current)) return v;
        }
        return TVariant(current.AsInteger() + 3);
    }
    default:
        ADD_FAILURE() << entry.Name << " reads " << rtl::VarTypeName(current.VarType());
        return current;
    }
}

struct Subject {
    std::string what;
    std::function<std::unique_ptr<TfrObject>()> make;
};

std::vector<Subject> Subjects() {
    std::vector<Subject> all;
    for (int code : {gtMemo, gtPicture, gtSubReport, gtLine})
        all.push_back({"kind " + std::to_string(code), [code] { return CreateObject(code, ""); }});
    for (int type = btReportTitle; type <= btNone; ++type) {
        all.push_back({"band type " + std::to_string(type), [type] {
                           auto band = std::make_unique<TfrBandView>();
                           band->FrameTyp = static_cast<uint16_t>(type);
                           return std::unique_ptr<TfrObject>(std::move(band));
                       }});
    }
    all.push_back({"control", [] { return std::make_unique<TestControl>(); }});
    for (int type : {ptReport, ptDialog}) {
        all.push_back({"page type " + std::to_string(type), [type] {
                           auto page = std::make_unique<TfrPage>(9, 2100, 2970, -1, 0);
                           page->PageType = static_cast<uint8_t>(type);
                           return std::unique_ptr<TfrObject>(std::move(page));
                       }});
    }
    return all;
}

class PropertyTables : public ModelTest {};

} // namespace

TEST_F(PropertyTables, EveryEntryReadsBackWhatItWrote) {
    for (const Subject& s : Subjects()) {
        auto object = s.make();
        int checked = 0;
        for (const TfrPropertyEntry& entry : object->Properties().Entries()) {
            // Entries that are read-only, write-only, or read another form of
            // the value are marked so in the table.
            if (!entry.CanRead() || !entry.CanWrite() || (entry.Access & fpReadsOtherForm))
                continue;
            SCOPED_TRACE(s.what + ", " + entry.Name);
            const TVariant before = entry.Read(*object);
            const TVariant value = OtherValue(*object, entry, before);
            entry.Write(*object, value);
            const TVariant got = entry.Read(*object);
            EXPECT_TRUE(got.Identical(value))
                << "wrote " << value.AsString() << ", read " << got.AsString();
            if (entry.IsNamed()) {
                // By name, in either letter case, the same.
                const TVariant again = OtherValue(*object, entry, got);
                object->WriteProperty(rtl::LowerCase(entry.Name), again);
                EXPECT_TRUE(object->ReadProperty(rtl::UpperCase(entry.Name)).Identical(again));
            }
            ++checked;
        }
        EXPECT_GT(checked, 0) << s.what;
    }
}

TEST_F(PropertyTables, NamesReachTheMostDerivedEntry) {
    TfrBandView band;
    band.FrameTyp = btMasterData;
    const TfrPropertyTable& table = band.Properties();
    // The band's script is listed as OnBeforePrint but read and written as Memo.
    EXPECT_EQ(table.Find("OnBeforePrint"), nullptr);
    ASSERT_NE(table.Find("memo"), nullptr);
    EXPECT_FALSE(table.Find("memo")->IsListed(band));
    EXPECT_EQ(table.Find("Left"), table.Find("lEfT"));
    EXPECT_EQ(table.Find("Left."), nullptr);
    EXPECT_EQ(table.Find(""), nullptr);
}
