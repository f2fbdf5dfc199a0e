#include "app/font_menu.h"

namespace tf {

FontChoice FontChoiceOf(const QFont& font, qint32 colour) {
    FontChoice c;
    c.family = font.family().isEmpty() ? QStringLiteral("宋体") : font.family();
    c.pointSize = font.pointSizeF();
    c.bold = font.bold();
    c.italic = font.italic();
    c.color = colour;
    c.strikeout = font.strikeOut();
    c.underline = font.underline();
    return c;
}

void ApplyFontChoice(const FontChoice& choice, QFont& font) {
    if (!choice.family.isEmpty()) font.setFamily(choice.family);
    if (choice.pointSize > 0) font.setPointSizeF(choice.pointSize);
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    font.setStrikeOut(choice.strikeout);
    font.setUnderline(choice.underline);
}

}  // namespace tf
