#include "qt/main_window.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "engine/texts/texts.h"
#include "engine/window/form_layout.h"
#include "qt/app_icon.h"
#include "qt/local_files.h"
#include "qt/message_boxes.h"
#include "qt/percent_gauge.h"

namespace mirvane {

namespace {

// Qt scales for the screen itself: the form's pixels are used as they stand.
constexpr int kDpi = 96;

QFont japaneseFont(const QString& family, const QString& fallback) {
    QFont font;
    font.setFamilies({family, fallback});
    font.setPixelSize(form::kFontHeight);
    return font;
}

void setColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

// Rows exactly as high as the list's 12-pixel font.
class FixedRowHeight : public QStyledItemDelegate {
public:
    FixedRowHeight(int height, QObject* parent) : QStyledItemDelegate(parent), m_height(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

template <typename Control>
Control* placed(Control* control, const char* name, const form::Place& at) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(at.left, at.top, at.width, at.height);
    return control;
}

Key engineKey(int key, Qt::KeyboardModifiers modifiers) {
    switch (key) {
        case Qt::Key_Delete:
            return Key::Delete;
        case Qt::Key_F1:
            return Key::F1;
        case Qt::Key_O:
            return Key::O;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return Key::Enter;
        case Qt::Key_Menu:
            return Key::ContextMenu;
        case Qt::Key_F10:
            return modifiers.testFlag(Qt::ShiftModifier) ? Key::ContextMenu : Key::Other;
        default:
            return Key::Other;
    }
}

// Qt calls the window and the strip of controls above the list plain
// containers; assistive technology is told they are a window, named by its
// title, and a panel.
QAccessibleInterface* accessibleWindowParts(const QString&, QObject* object) {
    if (auto* window = qobject_cast<MainWindow*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    auto* frame = qobject_cast<QFrame*>(object);
    if (frame && frame->objectName() == u"panel" && qobject_cast<MainWindow*>(frame->parent()))
        return new QAccessibleWidget(frame, QAccessible::Grouping);
    return nullptr;
}

}  // namespace

MainWindow::MainWindow(BatchFlags& flags, const AppPaths& paths,
                       const std::vector<std::string>& commandLineFiles, MessageBoxes& messages,
                       QWidget* parent)
    : QWidget(parent),
      m_view(*this, m_form, messages),
      m_desktop(*this),
      m_presenter(flags, m_uiThread, m_view, paths, m_clock, m_desktop) {
    // Before any interface of the window is asked for: Qt keeps the first one it makes.
    [[maybe_unused]] static const bool described = [] {
        QAccessible::installFactory(&accessibleWindowParts);
        return true;
    }();
    createControls();
    setUpLook();
    setAcceptDrops(true);
    // Key preview: the window hears every key before the widget that has the focus.
    qApp->installEventFilter(this);
    connect(m_form.presetList, &QListWidget::itemSelectionChanged, this, &MainWindow::keepAPresetSelected);
    FormCreate(commandLineFiles);
}

MainWindow::~MainWindow() = default;

// The panel, the gauge and the list fill the client area from the top, the
// panel and the gauge at their heights; the hint lies over the list at its
// own place. Tab visits the controls in the order they are made.
void MainWindow::createControls() {
    const form::Size client = form::minimumClientSize(kDpi);
    resize(client.width, client.height);
    setAutoFillBackground(true);
    m_form.dropHint = placed(new QLabel(text(texts::kDropHint), this), "dropHint", form::kDropHint);
    m_form.dropHint->setAutoFillBackground(true);
    m_form.dropHint->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->setContentsMargins(0, 0, 0, 0);

    QFrame* panel = m_form.panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("panel"));
    panel->setFixedHeight(form::kPanelHeight);
    panel->setFrameShape(QFrame::NoFrame);
    m_form.startButton =
        placed(new QPushButton(text(texts::kCaptionStart), panel), "startButton", form::kStartButton);
    m_form.clearButton =
        placed(new QPushButton(text(texts::kCaptionClearAll), panel), "clearButton", form::kClearButton);
    for (QPushButton* button : {m_form.startButton, m_form.clearButton}) button->setAutoDefault(true);
    m_form.presetLabel =
        placed(new QLabel(text(texts::kCaptionPresets), panel), "presetLabel", form::kPresetLabel);
    m_form.presetLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_form.presetList = placed(new QListWidget(panel), "presetList", form::kPresetList);
    m_form.presetList->setUniformItemSizes(true);
    m_form.presetLabel->setBuddy(m_form.presetList);
    m_form.directShowBox =
        placed(new QCheckBox(text(texts::kCaptionDirectShow), panel), "directShowBox", form::kDirectShowBox);
    layout->addWidget(panel);

    m_form.gauge = new PercentGauge(this);
    m_form.gauge->setObjectName(QStringLiteral("gauge"));
    m_form.gauge->setFixedHeight(form::kGaugeHeight);
    layout->addWidget(m_form.gauge);

    QTreeWidget* list = m_form.jobList = new QTreeWidget(this);
    auto* header = new QTreeWidgetItem({text(texts::kColumnFileName), text(texts::kColumnStatus)});
    header->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    header->setTextAlignment(1, Qt::AlignCenter);
    list->setHeaderItem(header);
    list->setObjectName(QStringLiteral("jobList"));
    list->setAccessibleName(text(texts::kJobListName));
    list->setAutoFillBackground(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->header()->setStretchLastSection(false);
    layout->addWidget(list);

    connect(m_form.startButton, &QPushButton::clicked, this, &MainWindow::startButtonClick);
    connect(m_form.clearButton, &QPushButton::clicked, this, &MainWindow::clearButtonClick);
    connect(m_form.presetList, &QListWidget::currentRowChanged, this, &MainWindow::presetListClick);
    connect(m_form.directShowBox, &QCheckBox::toggled, this, &MainWindow::directShowBoxClick);
}

void MainWindow::setUpLook() {
    setWindowIcon(appIcon());
    // Every text of the window is in the chosen language; assistive
    // technology that asks an object's locale is told so, and reads it
    // with that language's voice.
    const std::string language(texts::language());
    setLocale(language == "ja" ? QLocale(QLocale::Japanese, QLocale::Japan)
                               : QLocale(QString::fromStdString(language)));
    setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")));
    setColor(this, QPalette::Window, palette().color(QPalette::Button));

    m_form.presetList->setFont(japaneseFont(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")));
    m_form.presetList->setItemDelegate(new FixedRowHeight(form::kPresetItemHeight, m_form.presetList));
    // An item view takes no name from the label it is the buddy of.
    m_form.presetList->setAccessibleName(m_form.presetLabel->text());

    setColor(m_form.jobList, QPalette::Base, Qt::white);
    setColor(m_form.jobList, QPalette::Window, Qt::white);
    m_form.jobList->setColumnWidth(0, form::kFileNameColumnWidth);
    m_form.jobList->setColumnWidth(1, form::kStatusColumnWidth);

    setColor(m_form.dropHint, QPalette::Window, Qt::white);
    m_form.dropHint->raise();
}

void MainWindow::FormCreate(const std::vector<std::string>& commandLineFiles) {
    move(0, 0);
    setWindowTitle(QString::fromUtf8(texts::kAppCaption));
    m_presenter.windowCreated(commandLineFiles);
}

// A Ctrl+click on the selected preset would leave no entry highlighted
// while the start button still uses the current one.
void MainWindow::keepAPresetSelected() {
    QListWidgetItem* current = m_form.presetList->currentItem();
    if (current && !current->isSelected()) current->setSelected(true);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void MainWindow::FormShow() { m_presenter.windowShown(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    FormCloseQuery(canClose);
    event->setAccepted(canClose);
    if (canClose) m_presenter.windowClosed();
}

void MainWindow::FormCloseQuery(bool& canClose) { canClose = m_presenter.closeRequested(); }

void MainWindow::terminationRequested() {
    m_presenter.terminationRequested();
    // A box left open would keep the program from ending: each is answered
    // as its Escape key would answer it (Cancel to the question on closing).
    for (int boxes = 0; boxes < 8; ++boxes) {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->close()) break;
    }
}

void MainWindow::startButtonClick() { m_presenter.startPressed(); }

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

// The size rules count the window's outer size as a window with the frame
// the layout was made for would have it: Qt reports the real frame only
// under some window managers and none without one, so the client size gives
// the same layout everywhere.
void MainWindow::FormResize() {
    const form::Size client{width(), height()};
    QLabel* hint = m_form.dropHint;
    if (!hint->isHidden()) {
        const form::Span span = form::hintSpan(client.width, kDpi);
        hint->setGeometry(span.left, hint->y(), span.width, hint->height());
    }
    // One resize for both limits: the new size arrives later as its own
    // resize, which lays the hint out again for the final width.
    const form::Size allowed = form::allowedClientSize(client, kDpi);
    if (allowed != client) resize(allowed.width, allowed.height);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == m_form.jobList || watched == m_form.presetList))
        QTimer::singleShot(0, this,
                           [this, list = static_cast<QAbstractItemView*>(watched)] { listEntered(list); });
    // While a screen reader runs, Qt hands a press it gets back from the
    // reader to an item view twice: a press that came through the window is
    // handled once. (One sent to a widget directly does not pass the window.)
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        m_windowKey = event;
        m_windowKeyHandled = false;
    }
    if (event->type() == QEvent::KeyPress && watched == firstKeyReceiver()) {
        if (event == m_windowKey && std::exchange(m_windowKeyHandled, true))
            return QWidget::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        FormKeyDown(key->key(), key->modifiers());
        if (watched == m_form.jobList) jobListKeyDown(key->key(), key->modifiers());
    }
    return QWidget::eventFilter(watched, event);
}

// The widget a key press of this window reaches first. A key it ignores is
// passed on to its parents and comes through the filter again.
QWidget* MainWindow::firstKeyReceiver() {
    QWidget* focus = focusWidget();
    return focus ? focus : this;
}

// Qt tells assistive technology that the list took the focus, not which of
// its items has it: a screen reader says "list" and no more. The current
// item is told as focused, and, with nothing selected, selected too, so that
// the keys act on the row the user hears.
void MainWindow::listEntered(QAbstractItemView* list) {
    const QModelIndex current = list->currentIndex();
    if (!list->hasFocus() || !current.isValid()) return;
    if (!list->selectionModel()->hasSelection())
        list->selectionModel()->select(current, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
    QAccessibleTableInterface* cells = view ? view->tableInterface() : nullptr;
    QAccessibleInterface* item = cells ? cells->cellAt(current.row(), 0) : nullptr;
    if (!item) return;
    QAccessibleEvent focus(item, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}

void MainWindow::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    m_presenter.keyPressed(engineKey(key, modifiers), modifiers.testFlag(Qt::ControlModifier));
}

void MainWindow::jobListKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    m_presenter.listKeyPressed(engineKey(key, modifiers));
}

void MainWindow::clearButtonClick() { m_presenter.clearAllPressed(); }

void MainWindow::presetListClick() { m_presenter.presetChosen(m_form.presetList->currentRow()); }

void MainWindow::directShowBoxClick() { m_presenter.directShowToggled(); }

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    WMDropFiles(localFiles(event->mimeData()->urls()));
}

void MainWindow::WMDropFiles(const std::vector<std::string>& paths) { m_presenter.filesDropped(paths); }

void MainWindow::openHandedOverFiles(std::vector<std::string> files) {
    m_uiThread.post([this, files = std::move(files)] { m_presenter.filesHandedOver(files); });
}

}  // namespace mirvane
