#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "common/progress.h"
#include "progress/progress_state.h"

namespace tf::progress {

// The bar area: white, with the bar painted in pure blue from the left edge.
class BarArea : public QWidget {
    Q_OBJECT
public:
    explicit BarArea(QWidget* parent = nullptr);
    // Share of the width the bar covers; above 1 fills the whole width.
    void SetFraction(double fraction);
    int BarWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction_ = 0;
};

// A label inside the bar area whose text reads on both sides of the bar's edge: dark on the
// white part, white on the blue part.
class BarLabel : public QLabel {
    Q_OBJECT
public:
    BarLabel(const QString& text, BarArea* area);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BarArea* area_;
};

// The progress window "Mavrel进度指示器": a title line, the count, a blue bar with the
// percentage and the times. It offers no cancel. Long operations in core code drive it
// through the Progress interface; while it shows, the other windows take no input, so the
// user cannot start a second operation in the middle of one.
//
// Every call keeps the state exact, but the labels are redrawn only when what they show has
// changed, and at most every kRefreshMs; the event loop runs at most every kYieldMs, so the
// window stays alive without slowing the operation it watches.
class Indicator : public QWidget, public Progress {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 40;
    static constexpr int kYieldMs = 15;

    explicit Indicator(ProgressState::Clock clock = {});

    void ShowProgress(const QString& title, qint32 total, qint32& start) override;
    void StepProgress(qint32 delta, const QString& text) override;
    void CloseProgress() override;
    void DrawBar(qint32 position);

    const ProgressState& State() const { return state_; }

    static QString Caption() { return QStringLiteral("Mavrel进度指示器"); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    // Brings the labels and the bar up to the state, now or, when the last redraw was very
    // recent, a little later.
    void Changed(bool now);
    void Refresh();
    void Yield(bool always);

    ProgressState state_;
    QLabel* lbl_ = nullptr;
    QLabel* l1_ = nullptr;
    BarArea* pic_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* l2_ = nullptr;
    unsigned pending_ = 0;
    QTimer refreshTimer_;
    QElapsedTimer sinceRefresh_;
    QElapsedTimer sinceYield_;
    bool closing_ = false;
};

}  // namespace tf::progress
