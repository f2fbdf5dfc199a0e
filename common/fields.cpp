#include "common/fields.h"

namespace tf {

QString FieldCaption(int field) {
    static const char16_t* const texts[kFieldCount] = {
        u"年",         u"月",         u"日",         u"出票人全称", u"出票人账号", u"出票人银行",
        u"收款人全称", u"收款人账号", u"收款人银行", u"大写金额",   u"小写金额",   u"票据种类",
        u"票据张数",   u"票据号码",   u"复核",       u"记账",       u"年",         u"月",
        u"日",         u"出票人全称", u"出票人账号", u"出票人银行", u"收款人全称", u"收款人账号",
        u"收款人银行", u"备注",       u"小写金额",   u"票据种类",   u"票据张数",   u"票据号码",
        u"复核",       u"记账"};
    // Made once and shared: every laid-out page holds the captions of its fields.
    static const std::array<QString, kFieldCount> captions = [] {
        std::array<QString, kFieldCount> out;
        for (size_t i = 0; i < out.size(); ++i) out[i] = QString::fromUtf16(texts[i]);
        return out;
    }();
    return captions[static_cast<size_t>(field - kFirstField)];
}

}  // namespace tf
