// Every visible text of every window fits its widget in every language:
// measured with the widget's font metrics against its contents rectangle,
// wrapped where the widget wraps.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTreeView>
#include <QTreeWidget>
#include <cmath>

#include "app/controllers/Texts.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"
#include "app/views/QtTranslations.h"
#include "package/Environment.h"
#include "package/PackageTrust.h"
#include "platform/WorkingDirectory.h"
#include "printer/SendingStatus.h"
#include "resources/Strings.h"
#include "support/Paths.h"

namespace upkeep::app::views {
namespace {

QString where(const QWidget* widget) {
    return widget->window()->objectName() + "/" + widget->objectName() + " " +
           widget->metaObject()->className();
}

// A cell of a list: text lines plus the item's margins and icon.
int cellWidth(const QAbstractItemView& view, const QString& text, bool icon) {
    int widest = 0;
    for (const QString& line : text.split('\n'))
        widest =
            std::max(widest, int(std::ceil(QFontMetricsF(view.font()).horizontalAdvance(line))));
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return widest + 2 * margin + (icon ? view.iconSize().width() + 2 * margin : 0);
}

// What does not fit in the window, one line each.
QStringList cutTexts(QWidget* window) {
    if (!window)
        return {QStringLiteral("a window was not shown")};
    QStringList cut;
    if (const int title = titleBarWidth(*window); title > window->width())
        cut << QStringLiteral("%1: title \"%2\" needs %3 in %4")
                   .arg(window->objectName(), window->windowTitle())
                   .arg(title)
                   .arg(window->width());
    auto check = [&](const QWidget* widget, const QString& text, const QRect& box, int flags) {
        const QRect needed = widget->fontMetrics().boundingRect(
            QRect(box.topLeft(), QSize(box.width(), 100000)), flags | Qt::TextShowMnemonic, text);
        if (needed.width() > box.width() || needed.height() > box.height())
            cut << QStringLiteral("%1: \"%2\" needs %3x%4 in %5x%6")
                       .arg(where(widget), text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(box.width())
                       .arg(box.height());
    };
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->window() != window)
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            check(label, label->text(), label->contentsRect(),
                  int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && !button->text().isEmpty()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
            const QRect box = button->style()->subElementRect(
                radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option,
                button);
            check(button, button->text(), box, radio ? Qt::AlignLeft : Qt::AlignCenter);
        } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
            int total = 0;
            for (int column = 0; column < tree->columnCount(); ++column) {
                const int width = tree->columnWidth(column);
                total += width;
                if (cellWidth(*tree, tree->headerItem()->text(column), false) > width)
                    cut << where(tree) + " header " + tree->headerItem()->text(column);
                for (int row = 0; row < tree->topLevelItemCount(); ++row) {
                    QTreeWidgetItem* item = tree->topLevelItem(row);
                    if (cellWidth(*tree, item->text(column), !item->icon(column).isNull()) > width)
                        cut << where(tree) + " cell " + item->text(column);
                }
            }
            if (total > tree->viewport()->width())
                cut << where(tree) + " columns wider than the list";
        } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
            for (int row = 0; row < list->count(); ++row) {
                if (cellWidth(*list, list->item(row)->text(), false) > list->viewport()->width())
                    cut << where(list) + " line " + list->item(row)->text();
            }
        } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            for (QAction* action : bar->actions()) {
                if (!bar->rect().contains(bar->actionGeometry(action)))
                    cut << where(bar) + " menu " + action->text();
            }
        }
    }
    return cut;
}

QWidget* shown(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    }
    return nullptr;
}

// Restores the language the other tests expect.
struct TableGuard {
    ~TableGuard() { resources::setCurrentTable(resources::Table::EnglishUS); }
};

TEST(TextFitTest, EveryTextFitsInEveryLanguage) {
    TableGuard guard;
    ScopedEnvironment none(nullptr);
    QStringList cut;
    setModalHook([&](QDialog* dialog) {
        cut << cutTexts(dialog);
        dialog->reject();
    });
    const std::vector<std::string> versions{"3.10", "4.00 build 7"};
    // The version dialog's longest package lines: a signer, and the longest reason.
    std::vector<PackageTrust> packages(2);
    packages[0].state = TrustState::Signed;
    packages[0].userId = "Meridot Packaging <packages@meridot.example>";
    packages[0].fingerprint = "0123456789ABCDEF0123456789ABCDEF01234567";
    packages[1].state = TrustState::Untrusted;
    packages[1].problem = TrustProblem::BadSignature;
    const std::vector<std::function<void()>> windows = {
        [] { runChoiceDialog(nullptr); },
        [] { runWizardPage(nullptr, 190, 191, 192, 193); },
        [] { runWizardPage(nullptr, 200, 202, 203, 0); },
        [] { runWizardPage(nullptr, 210, 214, 211, 212); },
        [] { runWebLink(nullptr, 0, 180); },
        [] { runWebLink(nullptr, 181, 185); },
        [] { runWebLink(nullptr, 0, 182); },
        [] { runAddressDialog(nullptr); },
        [] { runCommunityDialog(nullptr, "public"); },
        [&] {
            for (const PackageTrust& trust : packages)
                runAboutDialog(nullptr, packageStateText(trust));
        },
        [] { runInformationDialog(nullptr, informationText()); },
        [&] { runVersionDialog(nullptr, versions); },
        [&] {
            std::unique_ptr<ProfileListDisplay> display = openProfileListDialog(nullptr);
            display->addLine(std::string(resources::text(223)) + "...");
            for (int id : {259, 265})
                display->addLine(resources::text(id));
            display->runModal();
        },
        [&] {
            std::unique_ptr<SearchingDisplay> display = openSearchingDialog(nullptr, {});
            display->setCounter("12");
            display->setPrinterName("Front-Office");
            cut << cutTexts(shown("304"));
        },
        [&] {
            std::unique_ptr<SendingDisplay> display = openSendingDialog(nullptr, {});
            display->setStatusLine(
                sendingStatusLine(resources::text(230), 1, 2, "Meridot-5200 5.10"));
            cut << cutTexts(shown("305"));
        },
        [&] {
            MainWindow window{StartOptions{}};
            window.show();
            for (int id = 150; id <= 155; ++id)
                window.insertRow(id - 150, {1, "Front-Office", resources::text(id),
                                            "Meridot-5200 Finisher-F2", "5.10 F2.10"});
            QApplication::processEvents();
            cut << cutTexts(&window);
        },
    };
    for (resources::Table table : resources::allTables()) {
        resources::setCurrentTable(table);
        for (const auto& open : windows)
            open();
        EXPECT_TRUE(cut.isEmpty()) << resources::tableName(table) << ":\n"
                                   << cut.join('\n').toStdString();
        cut.clear();
    }
    setModalHook({});
}

// Qt's file dialog shows its size, type and date columns and its sidebar
// whole in every language, once the folder is listed.
TEST(TextFitTest, FileDialogShowsItsColumnsAndSidebar) {
    TableGuard guard;
    platform::ScopedWorkingDirectory inPackage(upkeep::test::examplePackageDir());
    QStringList cut;
    setModalHook([&](QDialog* dialog) {
        auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        QAbstractItemView* view = tree;
        auto* sidebar = dialog->findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
        if (!tree || !sidebar) {
            cut << QStringLiteral("no tree view or sidebar");
            dialog->reject();
            return;
        }
        for (int i = 0; i < 500 && tree->model()->rowCount(tree->rootIndex()) == 0; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents();
        int total = 0;
        for (int column = 0; column < tree->header()->count(); ++column) {
            if (tree->header()->isSectionHidden(column))
                continue;
            total += tree->columnWidth(column);
            if (column > 0 && (view->sizeHintForColumn(column) > tree->columnWidth(column) ||
                               tree->header()->sectionSizeHint(column) > tree->columnWidth(column)))
                cut << QStringLiteral("column %1 (%2) cut")
                           .arg(column)
                           .arg(tree->model()->headerData(column, Qt::Horizontal).toString());
        }
        if (total > tree->viewport()->width())
            cut << QStringLiteral("columns wider than the list");
        if (sidebar->sizeHintForColumn(0) > sidebar->viewport()->width())
            cut << QStringLiteral("sidebar cut");
        dialog->reject();
    });
    for (resources::Table table : resources::allTables()) {
        resources::setCurrentTable(table);
        chooseOpenFile(nullptr, FileKind::SystemSoftware);
        EXPECT_TRUE(cut.isEmpty()) << resources::tableName(table) << ":\n"
                                   << cut.join('\n').toStdString();
        cut.clear();
    }
    setModalHook({});
}

// Qt's own buttons and file dialog speak the language of the string table.
TEST(TextFitTest, QtOwnTextsFollowTheStringTable) {
    TableGuard guard;
    for (resources::Table table : resources::allTables()) {
        resources::setCurrentTable(table);
        followStringTable();
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        const QString cancel = box.button(QDialogButtonBox::Cancel)->text().remove(u'&');
        EXPECT_EQ(cancel == "Cancel", table == resources::Table::EnglishUS)
            << resources::tableName(table) << ": " << cancel.toStdString();
    }
}

}  // namespace
}  // namespace upkeep::app::views
