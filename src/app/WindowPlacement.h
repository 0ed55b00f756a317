#pragma once

#include <QRect>

#include <functional>

class QWidget;

// Centres a top-level window, frame included, on the rectangle `area` gives (the screen, or
// the window it belongs to), inside its screen's available geometry (see placedFrame). It is
// placed when first shown, with the window manager's frame guessed, and placed again once it is
// on screen and the real frame is known.
void centreWithFrame(QWidget *window, std::function<QRect()> area);

// Where a frame goes: centred on `area`, then moved inside `bounds`. Along a side where it is
// longer than `bounds` it starts at their left or top edge, so that the title and menu bars stay
// on the screen whatever its size and scale. A frame that fits stays centred on the screen.
QRect placedFrame(QRect frame, const QRect &area, const QRect &bounds);
