#include "app/views/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include "app/controllers/HelpText.h"
#include "app/views/QtTranslations.h"
#include "app/views/TextFit.h"
#include "printer/SendEngine.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::app::views {
namespace {

std::function<void(QDialog*)>& modalHook() {
    static std::function<void(QDialog*)> hook;
    return hook;
}

int& modalDepth() {
    static int depth = 0;  // the user-interface thread's only
    return depth;
}

int runModal(QDialog& dialog) {
    followStringTable();
    ModalScope depth;
    if (modalHook()) {
        QPointer<QDialog> target(&dialog);
        QTimer::singleShot(0, &dialog, [target] {
            if (target && modalHook())
                modalHook()(target.data());
        });
    }
    return dialog.exec();
}

QString blankIfZero(int id) {
    return id == 0 ? QStringLiteral(" ") : qtext(id);
}

}  // namespace

QString qtext(int stringId) {
    return QString::fromUtf8(resources::text(stringId));
}

QString qstr(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/upkeep/upkeep-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon stateImage(int index) {
    static const QPixmap strip(QStringLiteral(":/upkeep/state-images.png"));
    return QIcon(strip.copy(index * 16, 0, 16, 16));
}

bool modalDialogOpen() {
    return modalDepth() > 0;
}

ModalScope::ModalScope() {
    ++modalDepth();
}

ModalScope::~ModalScope() {
    --modalDepth();
}

void setModalHook(std::function<void(QDialog*)> hook) {
    modalHook() = std::move(hook);
}

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = std::max(1, (width / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
}

TemplateDialog::TemplateDialog(QWidget* parent, const QString& title, int width, int height,
                               std::initializer_list<Control> controls, int topOffset)
    : QDialog(parent),
      units_(font()),
      templateSize_(units_.x(width), units_.y(height) + topOffset) {
    setWindowTitle(title);
    setWindowIcon(programIcon());
    for (const Control& c : controls) {
        QWidget* widget = nullptr;
        const QRect box = units_.rect(c.x, c.y, c.width, c.height).translated(0, topOffset);
        switch (c.kind) {
            case ControlKind::Text: {
                auto* label = new QLabel(c.text, this);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setTextFormat(Qt::PlainText);
                widget = label;
                break;
            }
            case ControlKind::Button:
            case ControlKind::DefaultButton: {
                auto* button = new QPushButton(c.text, this);
                button->setAutoDefault(false);
                button->setDefault(c.kind == ControlKind::DefaultButton);
                if (c.id == 1)
                    connect(button, &QPushButton::clicked, this, &QDialog::accept);
                if (c.id == 2)
                    connect(button, &QPushButton::clicked, this, &QDialog::reject);
                widget = button;
                break;
            }
            case ControlKind::Radio: {
                auto* radio = new QRadioButton(this);
                radio->setText(wrapped(c.text, radio->font(), radioTextWidth(*radio, box.width())));
                widget = radio;
                break;
            }
            case ControlKind::Edit:
                widget = new QLineEdit(c.text, this);
                break;
            case ControlKind::Progress: {
                auto* bar = new QProgressBar(this);
                bar->setRange(0, kProgressWhole);
                bar->setValue(0);
                bar->setTextVisible(false);
                widget = bar;
                break;
            }
            case ControlKind::RichText: {
                auto* edit = new QTextEdit(this);
                edit->setReadOnly(true);
                edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                widget = edit;
                break;
            }
            case ControlKind::List: {
                auto* list = new QListWidget(this);
                list->setSortingEnabled(true);
                list->setSelectionMode(QAbstractItemView::SingleSelection);
                list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                list->setFrameShape(QFrame::Box);
                widget = list;
                break;
            }
            case ControlKind::Icon: {
                auto* label = new QLabel(this);
                label->setPixmap(programIcon().pixmap(32, 32));
                widget = label;
                break;
            }
        }
        if (c.id != 0)
            widget->setObjectName(QString::number(c.id));
        placed_.push_back(
            {widget, c.kind == ControlKind::Icon ? QRect(box.topLeft(), QSize(32, 32)) : box});
    }
    fitToTexts();
}

void TemplateDialog::fitToTexts() {
    QSize size = placeControls(placed_, templateSize_, units_.x(3));
    // A translated title longer than the template is wide widens the
    // dialog rather than being cut; the controls stay centred.
    if (const int title = titleBarWidth(*this); title > size.width()) {
        const int shift = (title - size.width()) / 2;
        for (const PlacedControl& placed : placed_)
            placed.widget->move(placed.widget->pos() + QPoint(shift, 0));
        size.setWidth(title);
    }
    setFixedSize(size);
}

QWidget* TemplateDialog::control(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void TemplateDialog::centreOnScreen() {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TemplateDialog::centreOverParent() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner) {
        centreOnScreen();
        return;
    }
    const QRect frame = owner->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
}

// ---- shared modal dialogs --------------------------------------------------

void showMessage(QWidget* parent, MessageIcon icon, const std::string& text) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    qtext(resources::id::kMessageCaption), qstr(text), QMessageBox::Ok, parent);
    runModal(box);
}

namespace {

// Template 303: the wizard page and the web-link page.
class WizardPage : public TemplateDialog {
  public:
    WizardPage(QWidget* parent, const QString& title, const QString& header, const QString& body,
               const QString& button)
        : TemplateDialog(parent, title, 255, 130,
                         {{1012, ControlKind::Text, 5, 5, 245, 30, header},
                          {1010, ControlKind::Text, 5, 35, 245, 40, body},
                          {1011, ControlKind::Text, 5, 80, 245, 30, button},
                          {1, ControlKind::DefaultButton, 59, 115, 50, 14, qtext(142)},
                          {2, ControlKind::Button, 125, 115, 50, 14, qtext(140)}}) {}
};

}  // namespace

bool runWizardPage(QWidget* parent, int titleId, int headerId, int bodyId, int buttonTextId) {
    WizardPage page(parent, qtext(titleId), qtext(headerId), blankIfZero(bodyId),
                    blankIfZero(buttonTextId));
    page.setObjectName(QStringLiteral("303"));
    return runModal(page) == QDialog::Accepted;
}

bool runWebLink(QWidget* parent, int headerId, int bodyId) {
    WizardPage page(parent, qtext(resources::id::kMessageCaption),
                    headerId == 0 ? QString() : qtext(headerId), qtext(bodyId), qtext(184));
    page.setObjectName(QStringLiteral("303-link"));
    return runModal(page) == QDialog::Accepted;
}

bool openAddress(QWidget* parent, const std::string& address) {
    if (QDesktopServices::openUrl(QUrl(qstr(address))))
        return true;
    QMessageBox box(QMessageBox::Warning, qtext(resources::id::kMessageCaption),
                    qtext(resources::id::kNoBrowser) + "\n\n" + qstr(address), QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("no-browser"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    runModal(box);
    return false;
}

std::optional<int> runChoiceDialog(QWidget* parent) {
    TemplateDialog dialog(parent, qtext(290), 187, 123,
                          {{1050, ControlKind::Radio, 7, 7, 173, 30, qtext(291)},
                           {1051, ControlKind::Radio, 7, 41, 173, 27, qtext(292)},
                           {1060, ControlKind::Text, 7, 72, 173, 25, qtext(293)},
                           {1, ControlKind::DefaultButton, 35, 102, 50, 14, qtext(142)},
                           {2, ControlKind::Button, 101, 102, 50, 14, qtext(140)}});
    dialog.setObjectName(QStringLiteral("310"));
    auto* first = static_cast<QRadioButton*>(dialog.control(1050));
    first->setChecked(true);
    if (runModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return first->isChecked() ? 0 : 1;
}

std::optional<AddressAnswer> runAddressDialog(QWidget* parent) {
    TemplateDialog dialog(parent, qtext(170), 163, 65,
                          {{1003, ControlKind::Radio, 3, 3, 40, 10, resources::fixed::kTcpIpChoice},
                           {1005, ControlKind::Edit, 45, 3, 115, 13, {}},
                           {1004, ControlKind::Radio, 3, 21, 28, 10, resources::fixed::kIpxChoice},
                           {1006, ControlKind::Edit, 45, 20, 115, 13, {}},
                           {1, ControlKind::DefaultButton, 23, 44, 50, 14, qtext(143)},
                           {2, ControlKind::Button, 89, 44, 50, 14, qtext(140)}});
    dialog.setObjectName(QStringLiteral("302"));
    auto* tcpIp = static_cast<QRadioButton*>(dialog.control(1003));
    tcpIp->setChecked(true);
    dialog.control(1005)->setFocus();
    if (runModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    AddressAnswer answer;
    answer.kind = tcpIp->isChecked() ? 0 : 1;
    auto* edit = static_cast<QLineEdit*>(dialog.control(answer.kind == 0 ? 1005 : 1006));
    answer.text = edit->text().toStdString();
    return answer;
}

std::optional<std::string> runCommunityDialog(QWidget* parent, const std::string& current) {
    TemplateDialog dialog(parent, resources::fixed::kCommunityTitle, 180, 45,
                          {{0, ControlKind::Text, 5, 5, 70, 10, resources::fixed::kCommunityLabel},
                           {1040, ControlKind::Edit, 80, 4, 80, 12, qstr(current)},
                           {1, ControlKind::DefaultButton, 35, 27, 50, 15, qtext(145)},
                           {2, ControlKind::Button, 95, 27, 50, 15, qtext(140)}});
    dialog.setObjectName(QStringLiteral("309"));
    auto* edit = static_cast<QLineEdit*>(dialog.control(1040));
    edit->setMaxLength(64);
    if (runModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return edit->text().toStdString();
}

void runAboutDialog(QWidget* parent, const std::string& packageState) {
    // The package's state goes below the template's lines, as wide as the
    // dialog, and grows it downwards.
    TemplateDialog dialog(
        parent, resources::fixed::kAboutTitle, 235, 60,
        {{0, ControlKind::Icon, 10, 15, 21, 20, {}},
         {0, ControlKind::Text, 40, 10, 130, 8, resources::fixed::kAboutName},
         {0, ControlKind::Text, 40, 20, 130, 8, resources::fixed::kAboutVersion},
         {0, ControlKind::Text, 40, 30, 130, 16,
          QStringLiteral("Printer maintenance for Linux desktops")},
         {1070, ControlKind::Text, 40, 48, 188, 8, qstr(packageState)},
         {1, ControlKind::DefaultButton, 178, 7, 50, 14, resources::fixed::kAboutOk}});
    dialog.setObjectName(QStringLiteral("300"));
    runModal(dialog);
}

namespace {

// The help: opens at the template's size, and the user may make it any
// size; the text fills it and the button stays centred below. Nothing of
// the size is kept for the next time.
class InformationDialog final : public TemplateDialog {
  public:
    explicit InformationDialog(QWidget* parent)
        : TemplateDialog(parent, resources::fixed::kInformationTitle, 261, 222,
                         {{1006, ControlKind::RichText, 7, 7, 247, 185, {}},
                          {1, ControlKind::DefaultButton, 105, 201, 50, 14, qtext(141)}}) {
        setObjectName(QStringLiteral("308"));
        const QSize opened = size();
        setMinimumSize(units_.x(120), units_.y(80));
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setSizeGripEnabled(true);
        resize(opened);
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        TemplateDialog::resizeEvent(event);
        QWidget* button = control(1);
        const int margin = units_.x(7);
        const int gap = units_.y(7);
        button->move((width() - button->width()) / 2, height() - gap - button->height());
        control(1006)->setGeometry(margin, gap, width() - 2 * margin,
                                   button->y() - 2 * gap - units_.y(2));
    }
};

}  // namespace

void runInformationDialog(QWidget* parent, const std::string& text) {
    InformationDialog dialog(parent);
    static_cast<QTextEdit*>(dialog.control(1006))->setHtml(qstr(helpAsHtml(text)));
    dialog.centreOnScreen();
    runModal(dialog);
}

namespace {

// Qt's file dialog is laid out for English: its size, type and date
// columns and its sidebar are widened to what they show in the language in
// use, and the dialog grows to show them whole.
void fitFileDialog(QFileDialog& dialog) {
    auto* treeView = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    QAbstractItemView* tree = treeView;  // its size hints are public here
    QHeaderView* header = treeView ? treeView->header() : nullptr;
    auto* sidebar = dialog.findChild<QAbstractItemView*>(QStringLiteral("sidebar"));
    auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
    if (!tree || !header || !sidebar || !splitter)
        return;
    int columns = 0;
    for (int i = 0; i < header->count(); ++i) {
        if (header->isSectionHidden(i))
            continue;
        if (i > 0)
            header->resizeSection(i, std::max({header->sectionSize(i), header->sectionSizeHint(i),
                                               tree->sizeHintForColumn(i)}));
        columns += header->sectionSize(i);
    }
    const int scrollBar = tree->verticalScrollBar()->sizeHint().width();
    const int side = sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() + scrollBar;
    const int view = columns + 2 * tree->frameWidth() + scrollBar;
    QList<int> sizes = splitter->sizes();
    if (sizes.size() != 2)
        return;
    const int extra = std::max(0, side - sizes[0]) + std::max(0, view - sizes[1]);
    if (extra > 0)
        dialog.resize(dialog.width() + extra, dialog.height());
    sizes[0] = std::max(side, sizes[0]);
    sizes[1] = std::max(view, sizes[1]);
    splitter->setSizes(sizes);
}

}  // namespace

std::optional<std::string> chooseOpenFile(QWidget* parent, FileKind kind) {
    // "Description|pattern|...||" into Qt's "Description;;...".
    const char* filter = kind == FileKind::SystemSoftware ? resources::fixed::kSystemFileFilter
                                                          : resources::fixed::kMediaProfileFilter;
    QStringList parts = QString::fromUtf8(filter).split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i < parts.size(); i += 2)
        filters << parts[i];
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    if (kind == FileKind::SystemSoftware)
        dialog.setDefaultSuffix(resources::fixed::kSystemFileExtension);
    // Fitted when shown, and again once the folder's files are listed.
    QTimer::singleShot(0, &dialog, [&dialog] { fitFileDialog(dialog); });
    if (auto* model = dialog.findChild<QFileSystemModel*>()) {
        QObject::connect(
            model, &QFileSystemModel::directoryLoaded, &dialog,
            [&dialog] { fitFileDialog(dialog); }, Qt::QueuedConnection);
    }
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

namespace {

// Next (the button, Enter or a double-click) takes the selected line; with
// none selected it does nothing and the dialog stays.
class VersionDialog final : public TemplateDialog {
  public:
    explicit VersionDialog(QWidget* parent)
        : TemplateDialog(parent, qtext(200), 180, 110,
                         {{1000, ControlKind::List, 3, 3, 175, 55, {}},
                          {1023, ControlKind::Text, 5, 60, 170, 30, qtext(201)},
                          {1, ControlKind::DefaultButton, 35, 92, 50, 15, qtext(142)},
                          {2, ControlKind::Button, 95, 92, 50, 15, qtext(140)}}) {
        setObjectName(QStringLiteral("307"));
        connect(list(), &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
            list()->setCurrentItem(item);
            accept();
        });
    }
    QListWidget* list() const { return static_cast<QListWidget*>(control(1000)); }
    void accept() override {
        const QList<QListWidgetItem*> selected = list()->selectedItems();
        if (selected.isEmpty())
            return;
        chosen_ = selected.first()->text().toStdString();
        QDialog::accept();
    }
    const std::optional<std::string>& chosen() const { return chosen_; }

  private:
    std::optional<std::string> chosen_;
};

// Shown while its printer is asked, it cannot be closed until its lines
// are there and it runs modally.
class ProfileListDialog final : public TemplateDialog {
  public:
    explicit ProfileListDialog(QWidget* parent)
        : TemplateDialog(parent, qtext(240), 171, 110,
                         {{1000, ControlKind::List, 7, 7, 157, 78, {}},
                          {2, ControlKind::Button, 60, 89, 50, 14, qtext(141)}}) {
        setObjectName(QStringLiteral("306"));
        control(2)->setEnabled(false);
        // The lines are columns padded with blanks: they line up only in a
        // fixed-pitch font, at the dialog's size.
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSizeF(font().pointSizeF());
        control(1000)->setFont(fixed);
    }
    void setClosable() {
        closable_ = true;
        control(2)->setEnabled(true);
    }
    void reject() override {
        if (closable_)
            TemplateDialog::reject();
    }

  private:
    bool closable_ = false;
};

class QtProfileList final : public ProfileListDisplay {
  public:
    explicit QtProfileList(std::unique_ptr<ProfileListDialog> dialog)
        : dialog_(std::move(dialog)) {}
    ~QtProfileList() override { dialog_->hide(); }
    // A long line (an unreachable printer's) wraps rather than scrolls sideways.
    void addLine(const std::string& text) override {
        QListWidget* lines = list();
        const int room = lines->contentsRect().width() -
                         lines->verticalScrollBar()->sizeHint().width() - cellWidth(*lines, {});
        lines->addItem(wrapped(qstr(text), lines->font(), room));
    }
    void clearLines() override { list()->clear(); }
    void repaint() override { dialog_->repaint(); }
    void runModal() override {
        // Shown modelessly so far: shown again as a modal dialog.
        const QPoint position = dialog_->pos();
        dialog_->hide();
        dialog_->move(position);
        dialog_->setClosable();
        views::runModal(*dialog_);
    }

  private:
    QListWidget* list() const { return static_cast<QListWidget*>(dialog_->control(1000)); }
    std::unique_ptr<ProfileListDialog> dialog_;
};

}  // namespace

std::optional<std::string> runVersionDialog(QWidget* parent,
                                            const std::vector<std::string>& versions) {
    VersionDialog dialog(parent);
    for (const std::string& version : versions)
        dialog.list()->addItem(qstr(version));
    if (runModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

std::unique_ptr<ProfileListDisplay> openProfileListDialog(QWidget* parent) {
    auto dialog = std::make_unique<ProfileListDialog>(parent);
    dialog->setModal(false);
    dialog->centreOverParent();
    dialog->show();
    return std::make_unique<QtProfileList>(std::move(dialog));
}

// ---- modeless dialogs ------------------------------------------------------

namespace {

// A modeless dialog whose Cancel (button, Escape, close box) hides it and
// runs the owner's handler once; the owner then releases it.
class CancelableDialog : public TemplateDialog {
  public:
    CancelableDialog(QWidget* parent, const QString& title, int width, int height,
                     std::initializer_list<Control> controls, std::function<void()> onCancel)
        : TemplateDialog(parent, title, width, height, controls), onCancel_(std::move(onCancel)) {
        setModal(false);
    }
    void reject() override {
        if (canceled_)
            return;
        canceled_ = true;
        hide();
        // The handler releases this dialog (later, through deleteLater).
        std::function<void()> handler = onCancel_;
        if (handler)
            handler();
    }
    void setText(int id, const std::string& text) {
        if (auto* label = qobject_cast<QLabel*>(control(id))) {
            label->setText(qstr(text));
            fitToTexts();
        }
    }

  private:
    std::function<void()> onCancel_;
    bool canceled_ = false;
};

template <typename Base>
class QtDisplay : public Base {
  public:
    explicit QtDisplay(CancelableDialog* dialog) : dialog_(dialog) {}
    ~QtDisplay() override {
        if (dialog_) {
            dialog_->hide();
            dialog_->deleteLater();
        }
    }
    void repaint() override {
        if (dialog_)
            dialog_->repaint();
    }
    void close() override {
        if (dialog_)
            dialog_->hide();
    }

  protected:
    QPointer<CancelableDialog> dialog_;
};

class QtSearching final : public QtDisplay<SearchingDisplay> {
  public:
    using QtDisplay::QtDisplay;
    void setCounter(const std::string& text) override {
        if (dialog_)
            dialog_->setText(1014, text);
    }
    void setPrinterName(const std::string& text) override {
        if (dialog_)
            dialog_->setText(1015, text);
    }
};

class QtSending final : public QtDisplay<SendingDisplay> {
  public:
    using QtDisplay::QtDisplay;
    void setStatusLine(const std::string& text) override {
        if (dialog_)
            dialog_->setText(1028, text);
    }
    void setProgress(int share) override {
        if (dialog_) {
            if (auto* bar = qobject_cast<QProgressBar*>(dialog_->control(1013)))
                bar->setValue(share);
        }
    }
};

}  // namespace

std::unique_ptr<SearchingDisplay> openSearchingDialog(QWidget* parent,
                                                      std::function<void()> onCancel) {
    auto* dialog = new CancelableDialog(parent, qtext(220), 205, 83,
                                        {{1024, ControlKind::Text, 3, 3, 198, 26, qtext(221)},
                                         {1025, ControlKind::Text, 3, 35, 69, 8, qtext(222)},
                                         {1014, ControlKind::Text, 96, 35, 105, 9, {}},
                                         {1026, ControlKind::Text, 3, 47, 69, 8, qtext(223)},
                                         {1015, ControlKind::Text, 96, 46, 105, 10, {}},
                                         {2, ControlKind::Button, 77, 62, 50, 14, qtext(140)}},
                                        std::move(onCancel));
    dialog->setObjectName(QStringLiteral("304"));
    dialog->centreOnScreen();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return std::make_unique<QtSearching>(dialog);
}

std::unique_ptr<SendingDisplay> openSendingDialog(QWidget* parent, std::function<void()> onCancel) {
    auto* dialog = new CancelableDialog(parent, qtext(230), 220, 75,
                                        {{1027, ControlKind::Text, 5, 5, 210, 15, qtext(232)},
                                         {1028, ControlKind::Text, 5, 22, 210, 15, {}},
                                         {1013, ControlKind::Progress, 5, 39, 210, 15, {}},
                                         {2, ControlKind::Button, 85, 57, 50, 15, qtext(140)}},
                                        std::move(onCancel));
    dialog->setObjectName(QStringLiteral("305"));
    dialog->show();
    return std::make_unique<QtSending>(dialog);
}

}  // namespace upkeep::app::views
