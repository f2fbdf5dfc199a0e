#include "gui/progress/indicator.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPainter>
#include <cmath>

#include "gui/window_utils.h"

namespace tf::progress {

BarArea::BarArea(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void BarArea::SetFraction(double fraction) {
    const int before = BarWidth();
    fraction_ = fraction;
    if (BarWidth() != before) update();
}

int BarArea::BarWidth() const {
    if (fraction_ <= 0) return 0;
    return fraction_ >= 1 ? width() : static_cast<int>(std::lround(fraction_ * width()));
}

void BarArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = BarWidth();
    if (w > 0) painter.fillRect(0, 0, w, height(), QColor(0, 0, 255));
}

BarLabel::BarLabel(const QString& text, BarArea* area) : QLabel(text, area), area_(area) {
    setAlignment(Qt::AlignCenter);
}

void BarLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int edge = area_->BarWidth() - x();  // the bar's right edge in this label
    const QRect all = contentsRect();
    const auto draw = [&](const QRect& clip, const QColor& colour) {
        if (clip.isEmpty()) return;
        painter.save();
        painter.setClipRect(clip);
        painter.setPen(colour);
        painter.drawText(all, int(alignment()), text());
        painter.restore();
    };
    draw(QRect(all.left(), all.top(), edge - all.left(), all.height()), Qt::white);
    draw(QRect(std::max(edge, all.left()), all.top(), all.right() + 1 - std::max(edge, all.left()),
               all.height()),
         QColor(0, 0, 64));
}

Indicator::Indicator(ProgressState::Clock clock) : state_(std::move(clock)) {
    setObjectName(QStringLiteral("Indicator"));
    setWindowTitle(Caption());
    // A title bar without a close box: the window only shows progress.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setWindowModality(Qt::ApplicationModal);
    BuildControls();
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &Indicator::Refresh);
    sinceRefresh_.start();
    sinceYield_.start();
}

void Indicator::BuildControls() {
    setFixedSize(420, 128);
    QFont font = this->font();
    font.setFamily(QStringLiteral("宋体"));
    font.setPointSize(10);
    setFont(font);

    lbl_ = new QLabel(QStringLiteral("进度条指示器"), this);
    lbl_->setObjectName(QStringLiteral("LBL"));
    lbl_->setGeometry(12, 8, 396, 22);
    lbl_->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));

    l1_ = new QLabel(this);
    l1_->setObjectName(QStringLiteral("L1"));
    l1_->setGeometry(12, 32, 396, 20);
    l1_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    pic_ = new BarArea(this);
    pic_->setObjectName(QStringLiteral("Pic"));
    pic_->setGeometry(12, 58, 396, 56);

    percent_ = new BarLabel(QStringLiteral("0%"), pic_);
    percent_->setObjectName(QStringLiteral("Percent"));
    percent_->setGeometry(0, 6, 396, 20);

    l2_ = new BarLabel(QString(), pic_);
    l2_->setObjectName(QStringLiteral("L2"));
    l2_->setGeometry(0, 30, 396, 20);
}

void Indicator::ShowProgress(const QString& title, qint32 total, qint32& start) {
    refreshTimer_.stop();
    // The title line first, so the window tells what runs while the rest is set up.
    state_.Show(title, total, start);
    Changed(true);
    if (!isVisible()) {
        SetTopmost(this);
        CentreOnScreen(this);
        show();
        CentreOnScreen(this);  // the frame is known once shown
    }
    raise();
    Yield(true);
}

void Indicator::StepProgress(qint32 delta, const QString& text) {
    state_.Step(delta, text);
    Changed(false);
    Yield(false);
}

void Indicator::DrawBar(qint32 position) {
    state_.DrawBar(position);
    Changed(false);
    Yield(false);
}

void Indicator::CloseProgress() {
    refreshTimer_.stop();
    state_.Close();
    pending_ |= state_.TakeChanges();
    Refresh();
    closing_ = true;
    hide();
    closing_ = false;
    Yield(true);
}

void Indicator::closeEvent(QCloseEvent* event) {
    // Only CloseProgress ends the display; the window manager's close is refused.
    if (!closing_ && event->spontaneous()) event->ignore();
}

void Indicator::Changed(bool now) {
    pending_ |= state_.TakeChanges();
    if (pending_ == 0) return;
    // A new title shows at once; other changes are gathered into one redraw per interval.
    if (now || (pending_ & ProgressState::kTitle) || sinceRefresh_.elapsed() >= kRefreshMs) {
        refreshTimer_.stop();
        Refresh();
    } else if (!refreshTimer_.isActive()) {
        refreshTimer_.start(kRefreshMs);
    }
}

void Indicator::Refresh() {
    const unsigned changes = pending_;
    pending_ = 0;
    sinceRefresh_.restart();
    if (changes & ProgressState::kTitle) lbl_->setText(state_.Title());
    if (changes & ProgressState::kCount) l1_->setText(state_.CountText());
    if (changes & ProgressState::kPercent) percent_->setText(state_.PercentText());
    if (changes & ProgressState::kTimes) l2_->setText(state_.TimesText());
    if (changes & ProgressState::kBar) pic_->SetFraction(state_.BarFraction());
}

void Indicator::Yield(bool always) {
    if (!always && sinceYield_.elapsed() < kYieldMs) return;
    sinceYield_.restart();
    QCoreApplication::processEvents();
}

}  // namespace tf::progress
