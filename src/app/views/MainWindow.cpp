#include "app/views/MainWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

#include "app/views/Dialogs.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::app::views {

void QtUiQueue::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (target_)
        QMetaObject::invokeMethod(target_, std::move(call), Qt::QueuedConnection);
}

void QtUiQueue::detach() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
}

MainWindow::MainWindow(const StartOptions& options, QWidget* parent)
    : QDialog(parent), queue_(std::make_shared<QtUiQueue>(this)), timer_(this) {
    setObjectName(QStringLiteral("301"));
    setWindowTitle(QString::fromUtf8(resources::fixed::kMainWindowTitle));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("132"));
    buildMenu(bar);
    const int top = bar->sizeHint().height();
    const DialogUnits units(font());
    setFixedSize(units.x(346), units.y(117) + top);
    bar->setGeometry(0, 0, width(), top);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("1000"));
    list_->setGeometry(units.rect(7, 7, 332, 82).translated(0, top));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(16, 16));
    list_->setColumnCount(4);
    const int widths[] = {200, 150, 100, 100};
    QStringList headers;
    for (int id = 160; id <= 163; ++id)
        headers << qtext(id);
    list_->setHeaderLabels(headers);
    for (int column = 0; column < 4; ++column) {
        list_->setColumnWidth(column, widths[column]);
        list_->headerItem()->setTextAlignment(
            column, column >= 2 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    }
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

    auto* exitButton = new QPushButton(qtext(144), this);
    exitButton->setObjectName(QStringLiteral("1"));
    exitButton->setGeometry(units.rect(148, 96, 50, 14).translated(0, top));
    exitButton->setDefault(true);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::accept);

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

void MainWindow::openUrl(const std::string& address) {
    openAddress(address);
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

void MainWindow::aboutDialog() {
    runAboutDialog(this);
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

void QtStartupView::openUrl(const std::string& address) {
    openAddress(address);
}

std::optional<int> QtStartupView::choiceDialog() {
    return runChoiceDialog(nullptr);
}

void QtStartupView::runMainWindow(const StartOptions& options) {
    MainWindow window(options);
    window.exec();
}

}  // namespace upkeep::app::views
