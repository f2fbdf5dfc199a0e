#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "amount/number.h"
#include "common/colour.h"
#include "gui/editor/font_menu.h"
#include "gui/editor/voucher_picture.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"
#include "screen/millimetre_grid.h"

// The arrangement of the main window: its size and the picture's from the screen and the
// voucher dimensions, every field where the format puts it, and the reference grid.

namespace tf {

using namespace design;

void MF::ArrangeWindow() {
    ui_.pic->hide();
    ArrangeInput in;
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = scr ? scr->geometry() : QRect(0, 0, 800, 600);
    in.screenWidth = PixelsToTwips(screenRect.width());
    in.screenHeight = PixelsToTwips(screenRect.height());
    const QRect work = scr ? scr->availableGeometry() : screenRect;
    in.workTop = PixelsToTwips(work.top() - screenRect.top());
    in.workHeight = PixelsToTwips(work.height());
    in.formWidthMm = LenientNumber(ui_.formWidth->text());
    in.formHeightMm = LenientNumber(ui_.formHeight->text());
    in.stubWidthMm = LenientNumber(ui_.stubWidth->text());
    in.stubShown = ui_.printStub->isChecked();
    in.picLeft = kPicLeft;
    in.picTop = kPicTop;
    in.titleWidth = kTitleWidth;
    in.exitWidth = kExitWidth;
    in.helpWidth = kHelpWidth;
    in.contactWidth = kContactWidth;
    const auto r = ArrangeGeometry(in);
    if (!r) {
        // Dimensions that leave no picture (only possible from a stored format) keep the
        // present arrangement.
        ui_.pic->show();
        return;
    }
    arrangement_ = r;

    // The window's size counts its frame; the client area is what is left inside it.
    QSize frame(0, 0);
    if (isVisible()) frame = frameGeometry().size() - geometry().size();
    const int width = TwipsToPixels(r->window.width) - frame.width();
    const int height = TwipsToPixels(r->window.height) - frame.height();
    setFixedSize(std::max(1, width), std::max(1, height));
    move(screenRect.left() + TwipsToPixels(r->window.left),
         screenRect.top() + TwipsToPixels(r->window.top));

    PlaceInTwips(ui_.pic, r->pic.left, r->pic.top, r->pic.width, r->pic.height);
    ui_.stubLine->setVisible(r->lineVisible);
    ui_.stubLine->setGeometry(TwipsToPixels(r->lineX), TwipsToPixels(r->lineY1), 1,
                              std::max(1, TwipsToPixels(r->lineY2 - r->lineY1)));
    PlaceInTwips(ui_.title, r->titleLeft, r->titleTop, kTitleWidth, kTitleHeight);
    PlaceInTwips(ui_.tip, r->tip.left, r->tip.top, r->tip.width, kTipHeight);
    // Draws the grid when "显示基准网格" is checked, else leaves a clean picture.
    NetLine();
    PlaceInTwips(ui_.tabs, kTabLeft, kTabTop, r->tabWidth, kTabHeight);
    PlaceInTwips(ui_.exitButton, r->exitLeft, kButtonTop, kExitWidth, kButtonHeight);
    PlaceInTwips(ui_.helpButton, r->helpLeft, kButtonTop, kHelpWidth, kButtonHeight);
    PlaceInTwips(ui_.contactButton, r->contactLeft, kButtonTop, kContactWidth, kButtonHeight);

    ApplyLayout();
    ui_.pic->show();
}

void MF::PlaceFieldWidgets() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        const PlacedField& p = placement_[i];
        PlaceInTwips(ui_.fields[i], p.field.left, p.field.top, p.field.width, p.field.height);
        ui_.captions[i]->move(TwipsToPixels(p.captionLeft), TwipsToPixels(p.captionTop));
    }
}

void MF::ApplyLayout() {
    if (!arrangement_) return;
    ApplyLayoutGeometry(settings_.fieldFormats, arrangement_->twipsPerMm, arrangement_->stubWidthMm,
                        arrangement_->stubShown, placement_);
    PlaceFieldWidgets();
    for (int i = kFirstField; i <= kLastField; ++i) {
        const FieldFormat& f = settings_.fieldFormats[i];
        QFont font = ui_.fields[i]->font();
        // An empty font name or size leaves the field's present one.
        ApplyFieldFont(f.font, font);
        ui_.fields[i]->setFont(font);
        QPalette p = ui_.fields[i]->palette();
        p.setColor(QPalette::Text, ColourFromBgr(f.font.color));
        ui_.fields[i]->setPalette(p);
    }
}

void MF::CaptureLayout() {
    if (!arrangement_) return;
    // The picture stands for the dimensions it was arranged with; a dimension box being
    // edited (and perhaps about to be refused) does not rescale the layout.
    CaptureLayoutGeometry(placement_, arrangement_->formHeightMm, arrangement_->pic.height,
                          arrangement_->stubWidthMm, arrangement_->stubShown,
                          settings_.fieldFormats);
    for (int i = kFirstField; i <= kLastField; ++i) {
        const QFont font = ui_.fields[i]->font();
        settings_.fieldFormats[i].font =
            FieldFont{.family = font.family(),
                      .size = static_cast<float>(font.pointSizeF()),
                      .bold = font.bold(),
                      .italic = font.italic(),
                      .underline = font.underline(),
                      .strikeout = font.strikeOut(),
                      .color = BgrFromColour(ui_.fields[i]->palette().color(QPalette::Text))};
    }
}

void MF::NetLine() {
    ui_.pic->Clear();
    // Read as leniently as the dimension check does, so "85mm" draws the grid for 85 mm.
    const double H = LenientNumber(ui_.formHeight->text());
    if (!ui_.showGrid->isChecked()) return;
    const auto grid = MillimetreGridGeometry(PicWidth(), PicHeight(), H);
    if (!grid) return;
    DrawMillimetreGrid(ui_.pic->Canvas(), *grid, TwipsPerPixel(), ui_.pic->font(),
                       ui_.pic->palette().color(QPalette::WindowText));
    ui_.pic->update();
}

}  // namespace tf
