#include "ui/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

#include "engine/platform/platform.h"
#include "engine/texts.h"
#include "ui/app_icon.h"
#include "ui/message_boxes.h"
#include "ui_Unit1.h"

namespace mirvane {

namespace {

// The size rules count the window's outer size as a window with the common
// frame would have it: 8 pixels wider and 27 higher than the client area.
// Qt reports the real frame only under some window managers and none without
// one, so the client size plus this fixed frame gives the same layout
// everywhere.
const QSize kAssumedFrame(8, 27);
const QSize kMinimumOuterSize(426, 460);
constexpr int kHintLeft = 5;
constexpr int kHintWidthLessThanOuter = 15;

QFont japaneseFont(const QString& family, const QString& fallback) {
    QFont font;
    font.setFamilies({family, fallback});
    font.setPixelSize(12);
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

// The status cell drawn the default way in the colour its status asks for.
class StatusColours : public QStyledItemDelegate {
public:
    using Chooser = void (*)(QStyleOptionViewItem&);
    StatusColours(Chooser choose, QObject* parent) : QStyledItemDelegate(parent), m_choose(choose) {}

protected:
    // Starts from the list's own palette for every cell, so a colour never
    // carries over from the cell drawn before.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        m_choose(*option);
    }

private:
    Chooser m_choose;
};

}  // namespace

TForm1::TForm1(UnitState& unit, const AppPaths& paths, const QStringList& commandLineFiles,
               MessageBoxes& messages, QWidget* parent)
    : QWidget(parent),
      m_ui(std::make_unique<Ui::TForm1>()),
      m_unit(unit),
      m_paths(paths),
      m_messages(messages),
      m_view(*m_ui),
      m_driver(unit, m_uiThread, m_view, paths, m_presets) {
    m_ui->setupUi(this);
    setUpLook();
    setAcceptDrops(true);
    // Key preview: the window hears every key before the widget that has the focus.
    qApp->installEventFilter(this);
    FormCreate(commandLineFiles);
}

TForm1::~TForm1() = default;

void TForm1::setUpLook() {
    setWindowIcon(appIcon());
    setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")));
    setColor(this, QPalette::Window, palette().color(QPalette::Button));

    m_ui->lbTo->setFont(japaneseFont(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")));
    m_ui->lbTo->setItemDelegate(new FixedRowHeight(12, m_ui->lbTo));

    setColor(m_ui->lvData, QPalette::Base, Qt::white);
    setColor(m_ui->lvData, QPalette::Window, Qt::white);
    m_ui->lvData->setColumnWidth(0, 320);
    m_ui->lvData->setColumnWidth(1, 80);
    m_ui->lvData->setItemDelegateForColumn(
        1, new StatusColours(&TForm1::lvDataAdvancedCustomDrawSubItem, m_ui->lvData));

    setColor(m_ui->txtDrag, QPalette::Window, Qt::white);
    m_ui->txtDrag->raise();
}

void TForm1::FormCreate(const QStringList& commandLineFiles) {
    m_unit.StartupFailed = false;
    m_unit.LogEnabled = true;
    m_unit.LastPresetIndex = 0;

    move(0, 0);
    setWindowTitle(QString::fromUtf8(texts::kAppCaption));

    // Every check runs and reports; the window closes once it has been shown.
    auto fail = [this](const QString& message) {
        m_messages.showError(this, message);
        m_unit.StartupFailed = true;
    };
    if (!platform::isReadableFile(m_paths.settingsFile))
        fail(QStringLiteral("動画設定INIファイル(MovieSet.ini)がありません。"));
    if (!platform::isExecutableFile(m_paths.encoder)) fail(QStringLiteral("ffmpeg.exeがありません。"));
    {
        // Filling the list and choosing the first preset is no choice of the
        // user's, so it must not reach lbToClick.
        const QSignalBlocker quiet(m_ui->lbTo);
        LoadPresets();
        if (m_ui->lbTo->count() == 0) fail(QStringLiteral("動画設定INIファイルの読込みに失敗しました。"));
        m_ui->lbTo->setCurrentRow(0);
    }

    if (!commandLineFiles.isEmpty()) {
        m_ui->txtDrag->hide();
        appendJobRows(commandLineFiles);
    }
}

void TForm1::LoadPresets() {
    m_presets = mirvane::LoadPresets(m_paths.settingsFile);
    m_ui->lbTo->clear();
    for (const TListData& preset : m_presets.Presets)
        m_ui->lbTo->addItem(QString::fromStdString(preset.Title));
}

// New pending rows at the end of the list. The rows are built apart from the
// list and handed over in one insertion, which the view lays out once.
void TForm1::appendJobRows(const QStringList& paths) {
    QTreeWidgetItem pending({QString(), QString::fromUtf8(texts::kStatusPending)});
    pending.setTextAlignment(1, Qt::AlignCenter);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(paths.size());
    for (const QString& path : paths) {
        // A copy shares the status column with the pattern; only the path is its own.
        QTreeWidgetItem* row = pending.clone();
        row->setText(0, path);
        rows << row;
    }
    m_ui->lvData->setUpdatesEnabled(false);
    m_ui->lvData->addTopLevelItems(rows);
    m_ui->lvData->setUpdatesEnabled(true);
}

bool TForm1::startButtonReads(const char* caption) const {
    return m_ui->btnStart->text() == QString::fromUtf8(caption);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm1::FormShow() {
    // Closing from inside the show would cut it short; the close follows
    // as soon as the window is up.
    if (m_unit.StartupFailed)
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    FormCloseQuery(canClose);
    // A running batch lives inside the start button's handler on this very
    // window, so the window stays until that handler returns and closes it.
    if (canClose && m_driver.isRunning()) {
        m_closePending = true;
        canClose = false;
    }
    event->setAccepted(canClose);
}

void TForm1::FormCloseQuery(bool& canClose) {
    if (startButtonReads(texts::kCaptionStop) &&
        !m_messages.confirmForcedQuit(this, QStringLiteral("変換中ですが強制終了しますか？"))) {
        canClose = false;
        return;
    }
    m_driver.requestStop();
}

void TForm1::btnStartClick() {
    m_driver.btnStartClick();
    if (m_closePending && !m_driver.isRunning()) {
        m_closePending = false;
        close();
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    QSize outer = size() + kAssumedFrame;
    QLabel* hint = m_ui->txtDrag;
    if (!hint->isHidden())
        hint->setGeometry(kHintLeft, hint->y(), outer.width() - kHintWidthLessThanOuter, hint->height());
    // One resize for both limits: the new size arrives later as its own
    // resize, which lays the hint out again for the final width.
    QSize allowed = outer.expandedTo(kMinimumOuterSize);
    if (allowed != outer) resize(allowed - kAssumedFrame);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == firstKeyReceiver()) {
        auto* key = static_cast<QKeyEvent*>(event);
        FormKeyDown(key->key(), key->modifiers());
        if (watched == m_ui->lvData) lvDataKeyDown(key->key());
    }
    return QWidget::eventFilter(watched, event);
}

// The widget a key press of this window reaches first. A key it ignores is
// passed on to its parents and comes through the filter again.
QWidget* TForm1::firstKeyReceiver() {
    QWidget* focus = focusWidget();
    return focus ? focus : this;
}

void TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // Only while idle, so that a job is logged completely or not at all.
    if (key == Qt::Key_F1 && modifiers.testFlag(Qt::ControlModifier) &&
        startButtonReads(texts::kCaptionStart))
        m_unit.LogEnabled = false;
}

// Delete, whatever modifiers are held. The key goes on to the list's own handling.
void TForm1::lvDataKeyDown(int key) {
    if (key != Qt::Key_Delete || !startButtonReads(texts::kCaptionStart)) return;
    removeSelectedRows();
    if (m_ui->lvData->topLevelItemCount() == 0) {
        m_ui->Gauge1->setProgress(0);
        m_ui->txtDrag->show();
    }
}

// Deleting rows one at a time moves every row below each of them. Taking all
// rows out at once and putting the unselected ones back costs one pass,
// however many rows are selected.
void TForm1::removeSelectedRows() {
    QTreeWidget* list = m_ui->lvData;
    const QItemSelection selection = list->selectionModel()->selection();
    if (selection.isEmpty()) return;
    std::vector<bool> selected(list->topLevelItemCount(), false);
    for (const QItemSelectionRange& range : selection)
        std::fill(selected.begin() + range.top(), selected.begin() + range.bottom() + 1, true);
    // The row at the top of the view and the focus row stay where they were;
    // a removed one hands its place to the next remaining row.
    const int topRow = list->indexAt(QPoint(0, 0)).row();
    const int currentRow = list->currentIndex().row();

    const QList<QTreeWidgetItem*> rows = list->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> kept;
    kept.reserve(rows.size());
    qsizetype keptAboveTop = 0;
    qsizetype keptAboveCurrent = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (selected[i]) {
            delete rows[i];
            continue;
        }
        if (i < topRow) ++keptAboveTop;
        if (i < currentRow) ++keptAboveCurrent;
        kept << rows[i];
    }
    list->addTopLevelItems(kept);
    if (kept.isEmpty()) return;
    auto inPlaceOf = [&](qsizetype keptAbove) { return kept[std::min(keptAbove, kept.size() - 1)]; };
    if (currentRow >= 0) list->setCurrentItem(inPlaceOf(keptAboveCurrent), 0, QItemSelectionModel::NoUpdate);
    if (topRow >= 0) list->scrollToItem(inPlaceOf(keptAboveTop), QAbstractItemView::PositionAtTop);
}

void TForm1::btnAllClrClick() {
    m_ui->lvData->clear();
    m_ui->Gauge1->setProgress(0);
    m_ui->txtDrag->show();
}

void TForm1::lvDataAdvancedCustomDrawSubItem(QStyleOptionViewItem& option) {
    static const struct {
        QString status;
        QColor colour;
    } kColours[] = {
        {QString::fromUtf8(texts::kStatusPending), QColor(0, 0, 0)},
        {QString::fromUtf8(texts::kStatusConverted), QColor(0, 0, 255)},
        {QString::fromUtf8(texts::kStatusConverting), QColor(255, 0, 0)},
        {QString::fromUtf8(texts::kStatusError), QColor(255, 0, 0)},
    };
    for (const auto& entry : kColours) {
        if (option.text == entry.status) {
            // Only the text: a selected row keeps the selection's own colours.
            option.palette.setColor(QPalette::Text, entry.colour);
            return;
        }
    }
}

void TForm1::lbToClick() {
    const int index = m_ui->lbTo->currentRow();
    if (index == m_unit.LastPresetIndex) return;
    resetFailedRows();
    m_unit.LastPresetIndex = index;
}

void TForm1::chkDShowClick() { resetFailedRows(); }

// Failed rows become pending again, so the next batch retries them with the
// changed settings.
void TForm1::resetFailedRows() {
    const QString failed = QString::fromUtf8(texts::kStatusError);
    const QString pending = QString::fromUtf8(texts::kStatusPending);
    for (int row = 0; row < m_ui->lvData->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = m_ui->lvData->topLevelItem(row);
        if (item->text(1) == failed) item->setText(1, pending);
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// The paths in the drag source's order. A file URL's bytes decode the way
// file names do everywhere else in the program, so a row's caption turns
// back into the very bytes of the dropped name.
void TForm1::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    WMDropFiles(paths);
}

// A drop during a batch is taken and discarded: the batch walks the rows by
// index and must find them as they were.
void TForm1::WMDropFiles(const QStringList& paths) {
    if (startButtonReads(texts::kCaptionStop) || paths.isEmpty()) return;
    m_ui->txtDrag->hide();
    appendJobRows(paths);
    activateWindow();
    raise();
}

}  // namespace mirvane
