#include "gui/editor/font_menu.h"

namespace tf {

FieldFont FieldFontOf(const QFont& font, qint32 colour) {
    return FieldFont{.family = font.family().isEmpty() ? QStringLiteral("宋体") : font.family(),
                     .size = static_cast<float>(font.pointSizeF()),
                     .bold = font.bold(),
                     .italic = font.italic(),
                     .underline = font.underline(),
                     .strikeout = font.strikeOut(),
                     .color = colour};
}

void ApplyFieldFont(const FieldFont& choice, QFont& font) {
    if (!choice.family.isEmpty()) font.setFamily(choice.family);
    if (choice.size > 0) font.setPointSizeF(choice.size);
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    font.setStrikeOut(choice.strikeout);
    font.setUnderline(choice.underline);
}

}  // namespace tf
