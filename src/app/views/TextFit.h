#pragma once
// Room for the texts of the current language: the templates' boxes are
// where a control starts, and a control whose text needs more grows, moving
// what lies below it down. Line breaking is Qt's own, which breaks Chinese
// and Japanese text between characters.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QAbstractItemView;
class QWidget;

namespace upkeep::app::views {

// The text broken into lines no wider than width, for controls that cannot
// wrap by themselves (radio buttons, list lines).
QString wrapped(const QString& text, const QFont& font, int width);

// Width of a radio button's text area when the button is width wide.
int radioTextWidth(const QWidget& radio, int width);

// Width of a list cell that shows text (and an icon) without cutting it.
int cellWidth(const QAbstractItemView& view, const QString& text, bool icon = false);

// The size a control placed in a box of the given size needs for its text:
// the box, grown where the text is taller or wider than its contents.
QSize neededSize(QWidget* control, QSize box);

struct PlacedControl {
    QWidget* widget;
    QRect box;  // the template's box, in pixels
};

// The width a window needs for its whole title in its title bar: the
// text in a bold title font, beside the window icon and three buttons.
int titleBarWidth(const QWidget& window);

// Gives each control its box, grown to what its text needs: taller boxes
// move the controls below them down, wider ones keep their centre and push
// their right-hand neighbours aside. Returns the size the dialog needs,
// never less than the template's.
QSize placeControls(const std::vector<PlacedControl>& controls, QSize dialog, int margin);

}  // namespace upkeep::app::views
