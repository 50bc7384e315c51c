#include "template_test_support.h"

#include "platform/text/cp936.h"

namespace model_test {

std::string Gbk(const char* utf8) {
    return text::Utf8ToCp936(utf8);
}

std::string UnsupportedMessage() {
    return Gbk("错误") + "|" + Gbk("不支持的FRF格式");
}

std::string MissingMessage(const std::string& names) {
    return Gbk("错误") + "|" + "Report contains the following non-plugged components:\r" + names +
           "You must include these components into your project.";
}

} // namespace model_test
