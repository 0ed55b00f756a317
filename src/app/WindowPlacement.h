#pragma once

#include <functional>

class QRect;
class QWidget;

// Centres a top-level window, frame included, on the rectangle `area` gives (the screen, or
// the window it belongs to). It is placed when first shown, with the window manager's frame
// guessed, and placed again once it is on screen and the real frame is known.
void centreWithFrame(QWidget *window, std::function<QRect()> area);
