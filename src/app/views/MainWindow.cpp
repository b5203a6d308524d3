#include "app/views/MainWindow.h"

#include <QAction>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <thread>

#include "app/views/Dialogs.h"
#include "app/views/QtTranslations.h"
#include "app/views/TextFit.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::app::views {

void QtUiQueue::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    // The window owns this queue, so `this` lives as long as the events
    // queued on the window do.
    if (target_) {
        QMetaObject::invokeMethod(
            target_, [this, call = std::move(call)]() mutable { deliver(std::move(call)); },
            Qt::QueuedConnection);
    }
}

void QtUiQueue::deliver(std::function<void()> call) {
    if (held_.empty() && !modalDialogOpen()) {
        call();
        return;
    }
    held_.push_back(std::move(call));
    flush();
}

void QtUiQueue::flush() {
    while (!held_.empty() && !modalDialogOpen()) {
        std::function<void()> call = std::move(held_.front());
        held_.pop_front();
        call();
    }
    // Looked at again from the window's own event loop, after the flow
    // that opened the dialog has gone on.
    if (!held_.empty() && !flushScheduled_) {
        flushScheduled_ = true;
        QTimer::singleShot(kRetryMs, target_, [this] {
            flushScheduled_ = false;
            flush();
        });
    }
}

void QtUiQueue::detach() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

MainWindow::MainWindow(const StartOptions& options, QWidget* parent)
    : QDialog(parent), queue_(std::make_shared<QtUiQueue>(this)), timer_(this), units_(font()) {
    followStringTable();
    setObjectName(QStringLiteral("301"));
    setWindowTitle(QString::fromUtf8(resources::fixed::kMainWindowTitle));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("132"));
    buildMenu(menuBar_);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("1000"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(16, 16));
    list_->setColumnCount(kColumns);
    QStringList headers;
    for (int id = 160; id <= 163; ++id)
        headers << qtext(id);
    list_->setHeaderLabels(headers);
    for (int column = 0; column < kColumns; ++column) {
        list_->headerItem()->setTextAlignment(
            column, column >= 2 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        columnWidths_[column] = std::max(columnWidths_[column], cellWidth(*list_, headers[column]));
    }
    // The State column holds the longest state text of the language.
    for (int id = 150; id <= 155; ++id)
        columnWidths_[1] = std::max(columnWidths_[1], cellWidth(*list_, qtext(id)));
    list_->header()->setStretchLastSection(false);
    // The selection stays visible when the list has no focus.
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    list_->setPalette(palette);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem*, int) { controller_->doubleClick(); });

    exitButton_ = new QPushButton(qtext(144), this);
    exitButton_->setObjectName(QStringLiteral("1"));
    exitButton_->setDefault(true);
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);

    exitSize_ = neededSize(exitButton_, QSize(units_.x(50), units_.y(14)));
    fitWindow();
    resize(minimumSize());
    layOut();

    // Command 32782 is on no menu: a keyboard shortcut reaches it.
    auto* community = new QAction(this);
    community->setShortcut(QKeySequence(kCommunityShortcut));
    connect(community, &QAction::triggered, this,
            [this] { controller_->command(resources::command::kCommunityName); });
    addAction(community);
    actions_[resources::command::kCommunityName] = community;

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] { controller_->progressTick(); });

    controller_ = std::make_unique<MainController>(*this, queue_);
    controller_->setStartOptions(options);
    controller_->initialise();
}

MainWindow::~MainWindow() {
    // Nothing more is queued, then the workers stop before the widgets go.
    queue_->detach();
    timer_.stop();
    controller_->shutdown();
    controller_.reset();
}

// The template's size, wider where the columns or the menu need it; the
// window may grow from there.
void MainWindow::fitWindow() {
    const int columnsWidth =
        columnWidths_[0] + columnWidths_[1] + columnWidths_[2] + columnWidths_[3];
    listWidth_ = std::max(units_.x(332), columnsWidth + 2 * list_->frameWidth() +
                                             list_->verticalScrollBar()->sizeHint().width());
    const QSize least(
        std::max(listWidth_ + units_.x(14), menuBar_->sizeHint().width()),
        menuBar_->sizeHint().height() + units_.y(117) + exitSize_.height() - units_.y(14));
    setMinimumSize(least);
    resize(size().expandedTo(least));
    layOut();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

// The template's margins around the list and the Exit button; the columns
// keep their proportions as the list widens.
void MainWindow::layOut() {
    const int top = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), top);
    const int listHeight = height() - top - units_.y(7 + 7 + 7) - exitSize_.height();
    list_->setGeometry(units_.x(7), top + units_.y(7), width() - units_.x(14), listHeight);
    exitButton_->setGeometry((width() - exitSize_.width()) / 2,
                             list_->geometry().bottom() + 1 + units_.y(7), exitSize_.width(),
                             exitSize_.height());
    const double scale = double(list_->width()) / listWidth_;
    for (int column = 0; column < kColumns; ++column)
        list_->setColumnWidth(column, int(columnWidths_[column] * scale));
}

void MainWindow::buildMenu(QMenuBar* bar) {
    for (const resources::MenuPopup& popup : resources::mainMenu()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(popup.label));
        for (const resources::MenuItem& item : popup.items) {
            if (item.isSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.label));
            action->setObjectName(QString::number(item.commandId));
            const int id = item.commandId;
            if (id == resources::command::kViewAllPrinters ||
                id == resources::command::kViewSupportedPrinters) {
                action->setCheckable(true);
                action->setChecked(item.checked);
            }
            connect(action, &QAction::triggered, this, [this, id, action] {
                if (action->isCheckable())
                    action->setChecked(!action->isChecked());  // the controller sets the marks
                controller_->command(id);
            });
            actions_[id] = action;
        }
    }
}

QAction* MainWindow::commandAction(int commandId) const {
    auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::messageBox(MessageIcon icon, const std::string& text) {
    showMessage(this, icon, text);
}

bool MainWindow::wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) {
    return runWizardPage(this, titleId, headerId, bodyId, buttonTextId);
}

bool MainWindow::webLink(int headerId, int bodyId, const std::string&) {
    return runWebLink(this, headerId, bodyId);
}

bool MainWindow::openUrl(const std::string& address) {
    return openAddress(this, address);
}

void MainWindow::clearRows() {
    list_->clear();
}

void MainWindow::insertRow(int position, const ListRow& row) {
    auto* item = new QTreeWidgetItem(
        QStringList{qstr(row.name), qstr(row.state), qstr(row.model), qstr(row.version)});
    item->setIcon(0, stateImage(row.icon));
    item->setTextAlignment(2, Qt::AlignCenter);
    item->setTextAlignment(3, Qt::AlignCenter);
    list_->insertTopLevelItem(position, item);
    // A column grows to hold a longer name, model or version.
    bool wider = false;
    for (int column = 0; column < kColumns; ++column) {
        const int need = cellWidth(*list_, item->text(column), column == 0);
        if (need > columnWidths_[column]) {
            columnWidths_[column] = need;
            wider = true;
        }
    }
    if (wider)
        fitWindow();
}

int MainWindow::rowCount() {
    return list_->topLevelItemCount();
}

std::string MainWindow::rowName(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    return item ? item->text(0).toStdString() : std::string();
}

std::optional<int> MainWindow::selectedRow() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return list_->indexOfTopLevelItem(selected.first());
}

void MainWindow::redrawRows() {
    list_->viewport()->update();
}

void MainWindow::setViewChecks(bool all) {
    if (QAction* a = commandAction(resources::command::kViewAllPrinters))
        a->setChecked(all);
    if (QAction* a = commandAction(resources::command::kViewSupportedPrinters))
        a->setChecked(!all);
}

std::unique_ptr<SearchingDisplay> MainWindow::openSearching(std::function<void()> onCancel) {
    return openSearchingDialog(this, std::move(onCancel));
}

std::unique_ptr<SendingDisplay> MainWindow::openSending(std::function<void()> onCancel) {
    return openSendingDialog(this, std::move(onCancel));
}

void MainWindow::runBusy(const std::function<void()>& work) {
    // Reports wait, as for a modal dialog: handled inside this loop, one
    // could open a message in the middle of the flow that is waiting here.
    ModalScope held;
    busy_ = true;
    QEventLoop loop;
    std::thread worker([&work, &loop] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Ended early only when the whole program is told to leave; the
    // exchange is bounded, so it is waited for all the same.
    loop.exec();
    worker.join();
    busy_ = false;
}

void MainWindow::done(int result) {
    // During a printer exchange the controller keeps the request and closes
    // the window once the exchange has ended.
    if (!busy_ || !controller_ || controller_->closeRequest())
        QDialog::done(result);
}

void MainWindow::startProgressTimer() {
    timer_.start();
}

void MainWindow::stopProgressTimer() {
    timer_.stop();
}

bool MainWindow::ctrlHeld() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

std::optional<std::string> MainWindow::chooseFile(FileKind kind) {
    return chooseOpenFile(this, kind);
}

std::optional<std::string> MainWindow::versionDialog(const std::vector<std::string>& versions) {
    return runVersionDialog(this, versions);
}

std::unique_ptr<ProfileListDisplay> MainWindow::openProfileList() {
    return openProfileListDialog(this);
}

std::optional<AddressAnswer> MainWindow::addressDialog() {
    return runAddressDialog(this);
}

std::optional<std::string> MainWindow::communityDialog(const std::string& current) {
    return runCommunityDialog(this, current);
}

void MainWindow::aboutDialog(const std::string& packageState) {
    runAboutDialog(this, packageState);
}

void MainWindow::informationDialog(const std::string& text) {
    runInformationDialog(this, text);
}

void MainWindow::closeWindow() {
    accept();
}

void QtStartupView::messageBox(MessageIcon icon, const std::string& text) {
    showMessage(nullptr, icon, text);
}

bool QtStartupView::wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) {
    return runWizardPage(nullptr, titleId, headerId, bodyId, buttonTextId);
}

bool QtStartupView::webLink(int headerId, int bodyId, const std::string&) {
    return runWebLink(nullptr, headerId, bodyId);
}

bool QtStartupView::openUrl(const std::string& address) {
    return openAddress(nullptr, address);
}

std::optional<int> QtStartupView::choiceDialog() {
    return runChoiceDialog(nullptr);
}

void QtStartupView::runMainWindow(const StartOptions& options) {
    MainWindow window(options);
    window.exec();
}

}  // namespace upkeep::app::views
