#include "gui/editor/voucher_editor.h"

#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>

#include "common/colour.h"
#include "gui/editor/font_menu.h"
#include "gui/editor/overflow_hint.h"
#include "gui/editor/quick_fill_popup.h"
#include "gui/window_utils.h"
#include "screen/millimetre_grid.h"
#include "store/default_format.h"
#include "store/parties.h"
#include "store/party_fill.h"

// The voucher editor's fields, texts and arrangement, and how mouse and focus events reach
// its handlers. The layout editing lives in voucher_editor_layout.cpp.

namespace tf {

namespace {

const QColor kGreyField(221, 221, 221);

bool IsMonthField(int i) {
    return RoleOf(i) == FieldRole::Month || RoleOf(i) == FieldRole::StubMonth;
}

QFont SimSun(double points, bool bold = false, bool underline = false) {
    QFont f(QStringLiteral("宋体"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

}  // namespace

VoucherEditor::VoucherEditor(AppContext& ctx, store::VoucherSettings& settings, QWidget* parent)
    : PicBox(parent), ctx_(ctx), settings_(settings), placement_(DesignPlacement()) {
    setObjectName(QStringLiteral("Pic"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, p.color(QPalette::Base));
        setPalette(p);
    }
    setFocusPolicy(Qt::ClickFocus);
    BuildFields();
}

VoucherEditor::~VoucherEditor() = default;

void VoucherEditor::BuildFields() {
    stubLine_ = new QFrame(this);
    stubLine_->setObjectName(QStringLiteral("stubLine"));
    stubLine_->setAutoFillBackground(true);
    {
        QPalette p = stubLine_->palette();
        p.setColor(QPalette::Window, Qt::black);
        stubLine_->setPalette(p);
    }

    title_ = new QLabel(QStringLiteral("中国 XX 银行进账单    (回 单)"), this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setFont(SimSun(15, true, true));
    title_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (int i = kFirstField; i <= kLastField; ++i) {
        auto* edit = new FieldEdit(i, this);
        edit->setObjectName(QStringLiteral("T%1").arg(i));
        if (IsDateField(i)) {
            edit->setText(QString::fromUtf16(IsYearField(i)    ? u"2007"
                                             : IsMonthField(i) ? u"1"
                                                               : u"12"));
            edit->setMaxLength(IsYearField(i) ? 4 : 2);
        }
        if (IsDateField(i) || i == kCapitalField) {
            QPalette p = edit->palette();
            p.setColor(QPalette::Base, kGreyField);
            edit->setPalette(p);
        }
        // The right button opens the field's font menu instead of the edit menu.
        edit->setContextMenuPolicy(Qt::PreventContextMenu);
        connect(edit, &QLineEdit::textChanged, this, &VoucherEditor::contentChanged);
        edit->installEventFilter(this);
        fields_[i] = edit;

        auto* caption = new QLabel(FieldCaption(i), this);
        caption->setObjectName(QStringLiteral("L%1").arg(i));
        caption->setFont(SimSun(9));
        caption->adjustSize();
        captions_[i] = caption;
    }
    stubLine_->lower();
}

FieldTexts VoucherEditor::Texts() const {
    FieldTexts texts;
    for (int i = kFirstField; i <= kLastField; ++i) texts[i] = fields_[i]->text();
    return texts;
}

void VoucherEditor::SetTexts(const FieldTexts& texts) {
    // Texts put in as a whole are nobody's quick fill.
    filled_ = {};
    for (int i = kFirstField; i <= kLastField; ++i) fields_[i]->setText(texts[i]);
}

// ---------------------------------------------------------------------------------------
// Quick fill

void VoucherEditor::SetUpQuickFill() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        if (!store::OffersSuggestions(i) || popups_[i]) continue;
        auto* popup = new gui::QuickFillPopup(
            fields_[i], [this, i](const QString& typed) { return store::Suggest(ctx_, i, typed); });
        connect(popup, &gui::QuickFillPopup::Accepted, this,
                [this, i](const store::Suggestion& entry) { QuickFillAccepted(i, entry); });
        popups_[i] = popup;
    }
}

void VoucherEditor::SetQuickFillActive(bool active) {
    for (int i = kFirstField; i <= kLastField; ++i)
        if (popups_[i]) popups_[i]->SetActive(active);
}

void VoucherEditor::QuickFillAccepted(int field, const store::Suggestion& entry) {
    // The popup has put the entry's text into the field.
    filled_[field] = entry.text;
    QList<int> left{field};
    for (const store::PartyFill& fill : store::PlanPartyFill(field, entry, Texts(), filled_)) {
        QLineEdit* edit = fields_[fill.field];
        if (fill.asks &&
            !ctx_.UserPrompt().AskYesNo(store::ReplaceTypedQuestion(fill, edit->text())))
            continue;
        edit->setText(fill.text);
        filled_[fill.field] = fill.text;
        left.append(fill.field);
    }
    for (int f : std::as_const(left)) emit fieldLeft(f);
}

void VoucherEditor::ShowOverflow(std::function<print::VoucherPage()> page) {
    hint_ = std::make_unique<OverflowHint>(ctx_, *this, std::move(page));
}

// ---------------------------------------------------------------------------------------
// Arrangement

void VoucherEditor::Arrange(const ArrangeResult& r) {
    arrangement_ = r;
    PlaceInTwips(this, r.pic.left, r.pic.top, r.pic.width, r.pic.height);
    stubLine_->setVisible(r.lineVisible);
    stubLine_->setGeometry(TwipsToPixels(r.lineX), TwipsToPixels(r.lineY1), 1,
                           std::max(1, TwipsToPixels(r.lineY2 - r.lineY1)));
    PlaceInTwips(title_, r.titleLeft, r.titleTop, kTitleWidth, kTitleHeight);
    // Draws the grid when it is shown, else leaves a clean picture.
    NetLine();
}

void VoucherEditor::PlaceFieldWidgets() {
    for (int i = kFirstField; i <= kLastField; ++i) {
        const PlacedField& p = placement_[i];
        PlaceInTwips(fields_[i], p.field.left, p.field.top, p.field.width, p.field.height);
        captions_[i]->move(TwipsToPixels(p.captionLeft), TwipsToPixels(p.captionTop));
    }
}

void VoucherEditor::ApplyLayout() {
    if (!arrangement_) return;
    ApplyLayoutGeometry(settings_.fieldFormats, arrangement_->twipsPerMm, arrangement_->stubWidthMm,
                        arrangement_->stubShown, placement_);
    PlaceFieldWidgets();
    for (int i = kFirstField; i <= kLastField; ++i) {
        const FieldFormat& f = settings_.fieldFormats[i];
        QFont font = fields_[i]->font();
        // An empty font name or size leaves the field's present one.
        ApplyFieldFont(f.font, font);
        fields_[i]->setFont(font);
        QPalette p = fields_[i]->palette();
        p.setColor(QPalette::Text, ColourFromBgr(f.font.color));
        fields_[i]->setPalette(p);
    }
}

void VoucherEditor::CaptureLayout() {
    if (!arrangement_) return;
    // The picture stands for the dimensions it was arranged with; a dimension box being
    // edited (and perhaps about to be refused) does not rescale the layout.
    CaptureLayoutGeometry(placement_, arrangement_->formHeightMm, arrangement_->pic.height,
                          arrangement_->stubWidthMm, arrangement_->stubShown,
                          settings_.fieldFormats);
    for (int i = kFirstField; i <= kLastField; ++i) {
        const QFont font = fields_[i]->font();
        settings_.fieldFormats[i].font =
            FieldFont{.family = font.family(),
                      .size = static_cast<float>(font.pointSizeF()),
                      .bold = font.bold(),
                      .italic = font.italic(),
                      .underline = font.underline(),
                      .strikeout = font.strikeOut(),
                      .color = BgrFromColour(fields_[i]->palette().color(QPalette::Text))};
    }
    emit layoutChanged();
}

void VoucherEditor::SetGrid(bool shown, double heightMm) {
    gridShown_ = shown;
    gridHeightMm_ = heightMm;
}

void VoucherEditor::NetLine() {
    Clear();
    if (!gridShown_) return;
    const auto grid = MillimetreGridGeometry(PicWidth(), PicHeight(), gridHeightMm_);
    if (!grid) return;
    DrawMillimetreGrid(Canvas(), *grid, TwipsPerPixel(), font(),
                       palette().color(QPalette::WindowText));
    update();
}

double VoucherEditor::PicWidth() const {
    return arrangement_ ? arrangement_->pic.width : store::kDesignPictureWidth;
}

double VoucherEditor::PicHeight() const {
    return arrangement_ ? arrangement_->pic.height : store::kDesignPictureHeight;
}

// ---------------------------------------------------------------------------------------
// Events

void VoucherEditor::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position() * TwipsPerPixel();
    Pic_MouseDown(event->button(), at.x(), at.y());
}

void VoucherEditor::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position() * TwipsPerPixel();
    Pic_MouseMove(event->buttons(), at.x(), at.y());
}

void VoucherEditor::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = event->position() * TwipsPerPixel();
    Pic_MouseUp(event->button(), at.x(), at.y());
}

bool VoucherEditor::eventFilter(QObject* watched, QEvent* event) {
    const auto* field = qobject_cast<const FieldEdit*>(watched);
    if (!field) return PicBox::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            FieldPressed(field->Field(), mouse->button(), mouse->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another program or opening a menu does not leave a field.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            emit fieldLeft(field->Field());
    }
    return PicBox::eventFilter(watched, event);
}

}  // namespace tf
