#include "report/core/resource_strings.h"

#include "platform/text/cp936.h"

#include <unordered_map>

namespace {

// Identifier -> text (UTF-8 here, CP936 once loaded). Keep rows sorted by
// identifier within each block; one block per subsystem.
struct Row {
    int id;
    const char* text;
};

const Row kStrings[] = {
    // Printer and paper names.
    {55007, "虚拟打印机"},
    {55008, "Letter, 8 1/2 x 11\""},
    {55009, "Letter small, 8 1/2 x 11\""},
    {55010, "Tabloid, 11 x 17\""},
    {55011, "Ledger, 17 x 11\""},
    {55012, "Legal, 8 1/2 x 14\""},
    {55013, "Statement, 5 1/2 x 8 1/2\""},
    {55014, "Executive, 7 1/4 x 10 1/2\""},
    {55015, "A3 297 x 420 mm"},
    {55016, "A4 210 x 297 mm"},
    {55017, "A4 small sheet, 210 x 297 mm"},
    {55018, "A5 148 x 210 mm"},
    {55019, "B4 250 x 354 mm"},
    {55020, "B5 182 x 257 mm"},
    {55021, "Folio, 8 1/2 x 13\""},
    {55022, "Quarto Sheet, 215 x 275 mm"},
    {55023, "10 x 14\""},
    {55024, "11 x 17\""},
    {55025, "Note, 8 1/2 x 11\""},
    {55026, "9 Envelope, 3 7/8 x 8 7/8\""},
    {55027, "#10 Envelope, 4 1/8  x 9 1/2\""},
    {55028, "#11 Envelope, 4 1/2 x 10 3/8\""},
    {55029, "#12 Envelope, 4 3/4 x 11\""},
    {55030, "#14 Envelope, 5 x 11 1/2\""},
    {55031, "C Sheet, 17 x 22\""},
    {55032, "D Sheet, 22 x 34\""},
    {55033, "E Sheet, 34 x 44\""},
    {55034, "DL Envelope, 110 x 220 mm"},
    {55035, "C5 Envelope, 162 x 229 mm"},
    {55036, "C3 Envelope,  324 x 458 mm"},
    {55037, "C4 Envelope,  229 x 324 mm"},
    {55038, "C6 Envelope,  114 x 162 mm"},
    {55039, "C65 Envelope, 114 x 229 mm"},
    {55040, "B4 Envelope,  250 x 353 mm"},
    {55041, "B5 Envelope,  176 x 250 mm"},
    {55042, "B6 Envelope,  176 x 125 mm"},
    {55043, "Italy Envelope, 110 x 230 mm"},
    {55044, "Monarch Envelope, 3 7/8 x 7 1/2\""},
    {55045, "6 3/4 Envelope, 3 5/8 x 6 1/2\""},
    {55046, "US Std Fanfold, 14 7/8 x 11\""},
    {55047, "German Std Fanfold, 8 1/2 x 12\""},
    {55048, "German Legal Fanfold, 8 1/2 x 13\""},
    {55049, "B4 (ISO) 250 x 353 mm"},
    {55050, "Japanese Postcard 100 x 148 mm"},
    {55051, "9 x 11\""},
    {55052, "10 x 11\""},
    {55053, "15 x 11\""},
    {55054, "Envelope Invite 220 x 220 mm"},
    {55055, "Letter Extra 9/275 x 12\""},
    {55056, "Legal Extra 9/275 x 15\""},
    {55057, "Tabloid Extra 11.69 x 18\""},
    {55058, "A4 Extra 9.27 x 12.69\""},
    {55059, "Letter Transverse 8/275 x 11\""},
    {55060, "A4 Transverse 210 x 297 mm"},
    {55061, "Letter Extra Transverse 9/275 x 12\""},
    {55062, "SuperASuperAA4 227 x 356 mm"},
    {55063, "SuperBSuperBA3 305 x 487 mm"},
    {55064, "Letter Plus 8.5 x 12.69\""},
    {55065, "A4 Plus 210 x 330 mm"},
    {55066, "A5 Transverse 148 x 210 mm"},
    {55067, "B5 (JIS) Transverse 182 x 257 mm"},
    {55068, "A3 Extra 322 x 445 mm"},
    {55069, "A5 Extra 174 x 235 mm"},
    {55070, "B5 (ISO) Extra 201 x 276 mm"},
    {55071, "A2 420 x 594 mm"},
    {55072, "A3 Transverse 297 x 420 mm"},
    {55073, "A3 Extra Transverse 322 x 445 mm"},
    {55074, "自定义"},
    {55435, "缺省"},
    // Report objects: band names, popup items, placeholders, load errors.
    {55250, "报表标题"},
    {55251, "报表合计"},
    {55252, "页头"},
    {55253, "页脚"},
    {55254, "主项头"},
    {55255, "主项数据"},
    {55256, "主项脚"},
    {55257, "细项头"},
    {55258, "细项数据"},
    {55259, "细项脚"},
    {55260, "子细项头"},
    {55261, "子细项数据"},
    {55262, "子细项脚"},
    {55263, "覆盖"},
    {55264, "栏目头"},
    {55265, "栏目脚"},
    {55266, "分组头"},
    {55267, "分组脚"},
    {55268, "交叉表头"},
    {55269, "交叉表数据"},
    {55270, "交叉表脚"},
    {55271, "子"},
    {55272, "无"},
    {55280, "伸展"},
    {55281, "变量格式..."},
    {55282, "字体..."},
    {55283, "清除内容"},
    {55284, "自动折行"},
    {55286, "自动大小"},
    {55287, "只能是文本"},
    {55288, "压缩重复值"},
    {55289, "隐藏零值"},
    {55290, "下划线"},
    {55291, "强迫换页"},
    {55292, "为空时打印"},
    {55293, "分隔"},
    {55294, "在第一页"},
    {55295, "在最后一页"},
    {55296, "显示所有页"},
    {55297, "打印子Band不可见"},
    {55298, "图片中心化"},
    {55299, "保持纵横比"},
    {55300, "[图片]"},
    {55301, "Report contains the following non-plugged components:"},
    {55302, "You must include these components into your project."},
    // Templates and the report component.
    {55320, "不支持的FRF格式"},
    {55321, "错误"},
    {55322, "所选打印机错误"},
    {55323, "从"},
    // Expressions, data sets and the dictionary's look-ups.
    {55439, "符号没定义"},
    {55443, "表达式太复杂：待运算的值超过32个"},
    {55444, "运算符缺少运算对象"},
    {55445, "函数调用的括号不配对"},
    {55446, "表达式嵌套太深"},
    {55447, "变量循环引用自身"},
    // The script compiler and runner.
    {55500, "Need \";\" or \"end\" here"},
    {55501, "Need \"then\" here"},
    {55502, "Need \";\" or \"until\" here"},
    {55503, "Need \"do\" here"},
    {55504, "Need \"to\" here"},
    {55505, "\"goto\" label must be a number"},
    {55506, "Need \":=\" here"},
    {55507, "Need \")\" here"},
    {55508, "Need \"]\" here"},
    {55509, "Need \",\" or \")\" here"},
    {55510, "Need an expression here"},
    {55511, "Need \"'\" here"},
    {55512, "Need a variable here"},
    {55513, "Script is too long (more than 32000 characters)"},
    {55514, "Too many labels (more than 101)"},
    {55515, "Label is too long (more than 15 digits)"},
    {55516, "Label \"%s\" is not defined"},
    {55517, "Statements or expressions are nested too deeply"},
    {55518, "脚本执行超过%s步仍未结束（可能是死循环），已停止"},
    // Texts every dialog shares.
    {55000, "确认"},
    {55001, "取消"},
    {55206, "错误"},
    // The barcode object and its editor.
    {53650, "条码编辑器"},
    {53651, "代码(&C)"},
    {53652, "条码类型(&T)"},
    {53653, "选项"},
    {53654, "校验和"},
    {53655, "目读数字(&H)"},
    {53656, "插入表达式"},
    {53658, "旋转"},
    {53659, "&放大:"},
    {55338, "插入 Barcode 对象"},
    {55339, "条码错误"},
    {55340, "条码值为空"},
    {55341, "放大倍数必须大于0且不超过1000"},
    {55342, "旋转角度必须是0、90、180或270"},
    {55343, "条码值为0，不打印条码"},
    // Prepared pages and prepared-report files.
    {55306, "保存变动"},
    {55324, "预备报表文件已损坏"},
    {55325, "预备报表文件经过压缩，本程序无法读取"},
    {55326, "旧格式预备报表中的页面图片无法转换"},
    // Progress and password dialogs.
    {55000, "确认"},
    {55001, "取消"},
    {55203, "正在准备报表"},
    {55205, "正在处理页:"},
    {55208, "正在打印页:"},
    {55653, "Password"},
    {55654, "Enter password for opening report"},
    {55655, "Retype password for validate"},
};

const std::unordered_map<int, std::string>& Table() {
    static const std::unordered_map<int, std::string> table = [] {
        std::unordered_map<int, std::string> t;
        for (const Row& r : kStrings) t.emplace(r.id, text::Utf8ToCp936(r.text));
        return t;
    }();
    return table;
}

} // namespace

TfrLocale& TfrLocale::Instance() {
    static TfrLocale locale;
    return locale;
}

std::string TfrLocale::LoadResourceString(int identifier) {
    if (OnLocalize) {
        std::string text;
        OnLocalize(identifier, text);
        if (!text.empty()) return text;
    }
    const auto& t = Table();
    auto it = t.find(identifier);
    return it == t.end() ? std::string() : it->second;
}

std::string LoadResourceString(int identifier) {
    return TfrLocale::Instance().LoadResourceString(identifier);
}
