#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "amount/number.h"
#include "gui/editor/voucher_editor.h"
#include "gui/main/main_window.h"
#include "gui/window_utils.h"
#include "store/database_setting.h"

// The arrangement of the main window: its size and the picture's from the screen and the
// voucher dimensions; the editor then places every field where the format puts it.

namespace tf {

using namespace design;

const std::optional<ArrangeResult>& MF::Arrangement() const {
    return ui_.editor->Arrangement();
}

void MF::ArrangeWindow() {
    ui_.editor->hide();
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
    in.titleWidth = VoucherEditor::kTitleWidth;
    in.exitWidth = kExitWidth;
    in.helpWidth = kHelpWidth;
    in.contactWidth = kContactWidth;
    const auto r = ArrangeGeometry(in);
    if (!r) {
        // Dimensions that leave no picture (only possible from a stored format) keep the
        // present arrangement.
        ui_.editor->show();
        return;
    }

    // The window's size counts its frame; the client area is what is left inside it.
    QSize frame(0, 0);
    if (isVisible()) frame = frameGeometry().size() - geometry().size();
    const int width = TwipsToPixels(r->window.width) - frame.width();
    const int height = TwipsToPixels(r->window.height) - frame.height();
    setFixedSize(std::max(1, width), std::max(1, height));
    move(screenRect.left() + TwipsToPixels(r->window.left),
         screenRect.top() + TwipsToPixels(r->window.top));

    PlaceInTwips(ui_.tip, r->tip.left, r->tip.top, r->tip.width, kTipHeight);
    tipRow_ = ui_.tip->geometry();
    PlaceDatabaseLine();
    GridToEditor();
    ui_.editor->Arrange(*r);
    PlaceInTwips(ui_.tabs, kTabLeft, kTabTop, r->tabWidth, kTabHeight);
    PlaceInTwips(ui_.exitButton, r->exitLeft, kButtonTop, kExitWidth, kButtonHeight);
    PlaceInTwips(ui_.helpButton, r->helpLeft, kButtonTop, kHelpWidth, kButtonHeight);
    PlaceInTwips(ui_.contactButton, r->contactLeft, kButtonTop, kContactWidth, kButtonHeight);

    ui_.editor->ApplyLayout();
    ui_.editor->show();
}

void MF::ShowDatabase() {
    ui_.database->setToolTip(store::DatabaseDescription(ctx_));
    PlaceDatabaseLine();
}

void MF::PlaceDatabaseLine() {
    // The right end of the tip's line, at most half of it; a longer description is shortened
    // in the middle, and the whole of it is the label's tool tip.
    if (tipRow_.isNull()) tipRow_ = ui_.tip->geometry();
    const QRect row = tipRow_;
    const QString full = ui_.database->toolTip();
    const QFontMetrics fm(ui_.database->font());
    const int width = std::min(fm.horizontalAdvance(full) + 8, row.width() / 2);
    ui_.database->setText(fm.elidedText(full, Qt::ElideMiddle, width - 8));
    ui_.database->setGeometry(row.right() + 1 - width, row.top(), width, row.height());
    ui_.tip->setGeometry(row.left(), row.top(), row.width() - width, row.height());
}

}  // namespace tf
