#include "app/views/TextFit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace upkeep::app::views {
namespace {

constexpr int kUnbounded = 100000;

QRect buttonContents(const QAbstractButton& button, QSize size, QStyle::SubElement element) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = QRect(QPoint(0, 0), size);
    option.text = button.text();
    return button.style()->subElementRect(element, &option, &button);
}

// The box grown on each side where the text is larger than the contents.
QSize grownBy(QSize box, QSize text, QSize contents) {
    return box + QSize(std::max(0, text.width() - contents.width()),
                       std::max(0, text.height() - contents.height()));
}

}  // namespace

QSize neededSize(QWidget* widget, QSize box) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect contents = QRect(QPoint(0, 0), box).marginsRemoved(label->contentsMargins());
        QSize text =
            metrics.boundingRect(QRect(0, 0, contents.width(), kUnbounded), flags, label->text())
                .size();
        if (label->wordWrap())
            text.setHeight(std::max(text.height(), label->heightForWidth(box.width()) -
                                                       (box.height() - contents.height())));
        return grownBy(box, text, contents.size());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget);
        button && !button->text().isEmpty()) {
        const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        const QRect contents = buttonContents(
            *button, box, radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents);
        QSize text = metrics
                         .boundingRect(QRect(0, 0, kUnbounded, kUnbounded), Qt::TextShowMnemonic,
                                       button->text())
                         .size();
        if (!radio)  // a little air on either side of a button's text
            text.rwidth() += metrics.averageCharWidth();
        return grownBy(box, text, contents.size());
    }
    return box;
}

QString wrapped(const QString& text, const QFont& font, int width) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    for (const QString& paragraph : text.split('\n')) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines.join('\n');
}

int radioTextWidth(const QWidget& radio, int width) {
    const auto& button = static_cast<const QAbstractButton&>(radio);
    return buttonContents(button, QSize(width, kUnbounded), QStyle::SE_RadioButtonContents).width();
}

int cellWidth(const QAbstractItemView& view, const QString& text, bool icon) {
    // The item draws with fractional widths and elides what is a fraction too
    // wide: whole pixels up, and one to spare.
    const QFontMetricsF metrics(view.font());
    qreal widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return int(std::ceil(widest)) + 1 + 2 * margin +
           (icon ? view.iconSize().width() + 2 * margin : 0);
}

int titleBarWidth(const QWidget& window) {
    // The window manager draws the title; most draw it bold, in a font no
    // smaller than the application's.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int bar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(window.windowTitle()))) + 4 * bar;
}

QSize placeControls(const std::vector<PlacedControl>& controls, QSize dialog, int margin) {
    const std::size_t count = controls.size();
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return controls[a].box.top() < controls[b].box.top();
    });

    // Each control moves down by the most that any control above it has
    // moved and grown: controls side by side grow their row once.
    std::vector<QRect> placed(count);
    std::vector<int> shift(count, 0);
    int extraHeight = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t i = order[n];
        const QRect& box = controls[i].box;
        for (std::size_t m = 0; m < n; ++m) {
            const std::size_t above = order[m];
            if (controls[above].box.bottom() < box.top())
                shift[i] = std::max(
                    shift[i], shift[above] + placed[above].height() - controls[above].box.height());
        }
        const QSize need = neededSize(controls[i].widget, box.size());
        const int wider = need.width() - box.width();
        placed[i] =
            QRect(box.left() - wider / 2, box.top() + shift[i], need.width(), need.height());
        extraHeight = std::max(extraHeight, shift[i] + need.height() - box.height());
    }

    // A widened control pushes the controls to its right on the same rows.
    std::vector<std::size_t> byLeft = order;
    std::stable_sort(byLeft.begin(), byLeft.end(), [&](std::size_t a, std::size_t b) {
        return controls[a].box.left() < controls[b].box.left();
    });
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t i = byLeft[n];
        for (std::size_t m = 0; m < n; ++m) {
            const std::size_t left = byLeft[m];
            const bool sameRows = placed[left].top() <= placed[i].bottom() &&
                                  placed[i].top() <= placed[left].bottom();
            if (sameRows && controls[left].box.right() < controls[i].box.left() &&
                placed[left].right() >= placed[i].left())
                placed[i].moveLeft(placed[left].right() + 1 + margin);
        }
    }

    // Nothing sticks out on the left; the dialog widens for what sticks out on the right.
    int leftmost = margin;
    int rightmost = 0;
    for (const QRect& rect : placed) {
        leftmost = std::min(leftmost, rect.left());
        rightmost = std::max(rightmost, rect.right() + 1);
    }
    for (std::size_t i = 0; i < count; ++i)
        controls[i].widget->setGeometry(placed[i].translated(margin - leftmost, 0));
    return QSize(std::max(dialog.width(), rightmost + (margin - leftmost) + margin),
                 dialog.height() + extraHeight);
}

}  // namespace upkeep::app::views
