// How the window sits on the desktop: sizes that fit the screen at any scale
// factor, label colours taken from the palette (readable on light and dark
// themes alike), and flat buttons that show keyboard focus.
#pragma once

#include <QColor>
#include <QSize>

class QLabel;
class QPalette;
class QStyle;
class QWidget;

namespace ferro {

// Sizes a top-level window to wanted, but never larger than the available
// area of its screen, and centres it there. Once shown, the window is
// checked again with its real frame (title bar) and shrunk if that frame
// would leave the screen.
void FitToScreen(QWidget& window, QSize wanted);
// Keeps a window whose place came from elsewhere (the last run) inside the
// available area of its screen: shrunk when too large, centred when off it.
void KeepOnScreen(QWidget& window);

// The accent colours of labels, each derived from the palette.
enum class Tint {
    Link,     // web links and the files-found counter: the palette's link colour
    Count,    // the changed and deleted counters: red
    Caution,  // page notes: dark red
};
// The colour a tint takes over a palette, lightened or darkened until it
// reads against the palette's window colour (contrast ratio at least 4.5).
QColor TintColour(Tint tint, const QPalette& palette);
// WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);
// Gives a label the tint as its text colour, and follows palette changes
// (a theme switched while the program runs).
void SetTint(QLabel* label, Tint tint);

// A style for flat (auto-raise) tool buttons that draws a focus frame when
// the button has keyboard focus. Shared, owned by the application.
QStyle* FlatButtonStyle();

// Puts content inside a frameless scroll area: the window may then be
// smaller than the content's minimum size (a small screen, a large scale
// factor) without squeezing any field; scroll bars appear instead.
QWidget* ScrollWhenSmall(QWidget* content);

}  // namespace ferro
