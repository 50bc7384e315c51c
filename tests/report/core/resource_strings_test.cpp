#include "report/core/resource_strings.h"

#include "platform/text/cp936.h"

#include <gtest/gtest.h>

TEST(ResourceStrings, TableLookupAndLocalizeHook) {
    EXPECT_EQ(LoadResourceString(55007), text::L("虚拟打印机"));
    EXPECT_EQ(LoadResourceString(1), "");
    TfrLocale::Instance().OnLocalize = [](int id, std::string& s) {
        if (id == 55007) s = "Virtual";
    };
    EXPECT_EQ(LoadResourceString(55007), "Virtual");
    EXPECT_EQ(LoadResourceString(55435), text::L("缺省")); // hook left it empty
    TfrLocale::Instance().OnLocalize = nullptr;
}
