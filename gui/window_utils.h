#pragma once

#include <QString>
#include <QWidget>

class QAction;
class QAbstractButton;
#include <cmath>

// Small window utilities shared by the program's windows. Window geometry is in twips
// (1440 per inch); twips per pixel is 1440 / logical DPI.

namespace tf {

double TwipsPerPixel();
inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel()));
}
inline double PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel();
}

// Places a widget at a twips rectangle inside its parent. The right and bottom edges are
// rounded on their own, so neighbours meet without gaps; the size is at least one pixel.
void PlaceInTwips(QWidget* w, double left, double top, double width, double height);

// True when an open (visible) top-level window of the program has exactly this caption.
bool IsFormOpen(const QString& caption);
// Returns once no open window has this caption; runs the event loop meanwhile, never spins.
void WaitWhileFormOpen(const QString& caption);
// Moves the window to the centre of the screen area above the task bar.
void CentreOnScreen(QWidget* window);
// Screen height minus the bottom of the work area, twips.
qint16 TaskbarHeight();
// Keeps the window above all others without moving or resizing it.
void SetTopmost(QWidget* window);

// The button shows the action: a click triggers it, and the button is enabled with it and
// carries its tooltip when the action has a shortcut. The button keeps its own caption.
void ShowAction(QAbstractButton* button, QAction* action);

}  // namespace tf
