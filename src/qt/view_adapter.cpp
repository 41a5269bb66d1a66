#include "qt/view_adapter.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>

#include "engine/texts/texts.h"
#include "engine/window/form_layout.h"
#include "engine/window/row_look.h"
#include "qt/local_files.h"
#include "qt/message_boxes.h"
#include "qt/percent_gauge.h"
#include "qt/spoken_notice.h"

namespace mirvane {

namespace {

constexpr int kStatusColumn = 1;
// What a status cell keeps of its row, to draw it from the row's look.
constexpr int kStatusRole = Qt::UserRole;
constexpr int kReasonRole = Qt::UserRole + 1;
constexpr int kPercentRole = Qt::UserRole + 2;

// A tooltip that looks like markup is shown as rich text, and a reason
// quotes file names and the encoder's words: it goes as an escaped paragraph
// that keeps every space, so that it always reads exactly as it is.
QString reasonTip(const QString& reason) {
    if (reason.isEmpty()) return {};
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + reason.toHtmlEscaped() +
           QStringLiteral("</p>");
}

// What a change did to a status cell: its accessible name, its description.
struct CellChange {
    bool name = false;
    bool description = false;
};

// Sets role to value unless it holds it already; true when it changed.
bool update(QTreeWidgetItem& item, int role, const QVariant& value) {
    if (item.data(kStatusColumn, role) == value) return false;
    item.setData(kStatusColumn, role, value);
    return true;
}

// The status cell drawn as the engine's look of the row it keeps says.
CellChange showLook(QTreeWidgetItem& item) {
    const QVariant percent = item.data(kStatusColumn, kPercentRole);
    const RowLook look = rowLook(static_cast<JobStatus>(item.data(kStatusColumn, kStatusRole).toInt()),
                                 item.data(kStatusColumn, kReasonRole).toString().toStdString(),
                                 percent.isValid() ? std::optional(percent.toInt()) : std::nullopt);
    update(item, Qt::DisplayRole, QString::fromStdString(look.words));
    // Only the text: a selected row keeps the selection's own colours.
    update(item, Qt::ForegroundRole, QBrush(QColor(look.colour.red, look.colour.green, look.colour.blue)));
    update(item, Qt::ToolTipRole, reasonTip(QString::fromStdString(look.tip)));
    // A screen reader reads a row by its cells' names, rarely their descriptions.
    return {
        .name = update(item, Qt::AccessibleTextRole, QString::fromStdString(look.spoken)),
        .description = update(item, Qt::AccessibleDescriptionRole, QString::fromStdString(look.description))};
}

// Only what differs from the item's current look is written: a new row of
// a big drop then costs no more than its path.
CellChange showJob(QTreeWidgetItem& item, const JobRow& row) {
    const bool status = update(item, kStatusRole, static_cast<int>(row.status));
    const bool reason = update(item, kReasonRole, QString::fromStdString(row.reason));
    if (!status && !reason && !item.text(kStatusColumn).isEmpty()) return {};
    return showLook(item);
}

// Qt's item views tell assistive technology that a cell's data changed but
// not what it now says: a status cell's new words and reason are told as
// the cell's own name and description, which a screen reader reads out.
void tellCellChange(QTreeWidget& list, int row, CellChange change) {
    if (!QAccessible::isActive() || !(change.name || change.description)) return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&list);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    // A row not laid out yet has no cells; it is read as it comes.
    if (!cells || row >= cells->rowCount()) return;
    QAccessibleInterface* cell = cells->cellAt(row, kStatusColumn);
    if (!cell) return;
    for (auto [happened, what] : {std::pair{change.name, QAccessible::NameChanged},
                                  std::pair{change.description, QAccessible::DescriptionChanged}}) {
        if (!happened) continue;
        QAccessibleEvent event(cell, what);
        QAccessible::updateAccessibility(&event);
    }
}

// As the dialog goes, the window manager may leave no window active (Openbox
// did, in some tries, after Return in the dialog): a keyboard user's next
// keys would go nowhere, unheard. While the window is not the active one, it
// asks to be, a few times over the next second, with the focus where it was.
void returnFromDialog(QWidget& window, const QPointer<QWidget>& focus) {
    const QPointer<QWidget> target = &window;
    auto activate = [target, focus] {
        if (!target || target->isActiveWindow()) return;
        target->activateWindow();
        target->raise();
        // The window manager may already have given the window the input
        // focus while the dialog was still closing, when Qt took no note of
        // it: no new focus event would come, so Qt is told itself.
        if (!target->isActiveWindow()) QApplication::setActiveWindow(target);
        if (focus && focus->window() == target) focus->setFocus(Qt::OtherFocusReason);
    };
    activate();
    for (const int ms : {50, 200, 500, 1000}) QTimer::singleShot(ms, target, activate);
}

QString fileName(const std::string& path) {
    return QFile::decodeName(QByteArray::fromRawData(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace

// The rows are built apart from the list and handed over in one insertion,
// which the view lays out once.
void ViewAdapter::rowsAppended(std::span<const JobRow> rows) {
    // Copies of one pattern share the status column's texts; only the path is their own.
    QTreeWidgetItem pending;
    pending.setTextAlignment(kStatusColumn, Qt::AlignCenter);
    showJob(pending, JobRow{});
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const JobRow& row : rows) {
        QTreeWidgetItem* item = pending.clone();
        item->setText(0, fileName(row.path));
        showJob(*item, row);
        items << item;
    }
    m_form.jobList->setUpdatesEnabled(false);
    m_form.jobList->addTopLevelItems(items);
    m_form.jobList->setUpdatesEnabled(true);
}

void ViewAdapter::rowChanged(int row, const JobRow& data) {
    tellCellChange(*m_form.jobList, row, showJob(*m_form.jobList->topLevelItem(row), data));
}

// Taking all rows out and putting the kept ones back costs one pass, however
// many are removed; the row at the top of the view and the focus row stay in
// place, a removed one handing its place to the next row kept.
void ViewAdapter::rowsRemoved(const std::vector<int>& removed) {
    QTreeWidget* list = m_form.jobList;
    const int topRow = list->indexAt(QPoint(0, 0)).row();
    const int currentRow = list->currentIndex().row();

    const QList<QTreeWidgetItem*> rows = list->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> kept;
    kept.reserve(rows.size());
    auto next = removed.begin();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (next != removed.end() && *next == i) {
            ++next;
            delete rows[i];
            continue;
        }
        kept << rows[i];
    }
    list->addTopLevelItems(kept);
    const int rowsLeft = static_cast<int>(kept.size());
    if (const int current = form::rowAfterRemoval(currentRow, removed, rowsLeft); current >= 0)
        list->setCurrentItem(kept[current], 0, QItemSelectionModel::NoUpdate);
    if (const int top = form::rowAfterRemoval(topRow, removed, rowsLeft); top >= 0)
        list->scrollToItem(kept[top], QAbstractItemView::PositionAtTop);
}

void ViewAdapter::rowsCleared() { m_form.jobList->clear(); }

GaugeView& ViewAdapter::gauge() { return *m_form.gauge; }

void ViewAdapter::setStartCaption(StartCaption caption) {
    m_form.startButton->setText(
        QString::fromUtf8(caption == StartCaption::Stop ? texts::kCaptionStop : texts::kCaptionStart));
}

void ViewAdapter::setStartEnabled(bool enabled) { m_form.startButton->setEnabled(enabled); }

void ViewAdapter::setOptionControlsEnabled(bool enabled) {
    m_form.clearButton->setEnabled(enabled);
    m_form.presetList->setEnabled(enabled);
    m_form.directShowBox->setEnabled(enabled);
}

void ViewAdapter::setHintVisible(bool visible) { m_form.dropHint->setVisible(visible); }

void ViewAdapter::setPresetTitles(const std::vector<std::string>& titles) {
    const QSignalBlocker quiet(m_form.presetList);
    m_form.presetList->clear();
    for (const std::string& title : titles) m_form.presetList->addItem(QString::fromStdString(title));
    m_form.presetList->setCurrentRow(0);
}

int ViewAdapter::selectedPreset() const { return m_form.presetList->currentRow(); }

bool ViewAdapter::directShowTicked() const { return m_form.directShowBox->isChecked(); }

std::vector<int> ViewAdapter::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_form.jobList->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ViewAdapter::showError(const std::string& text) {
    m_messages.showError(&m_window, QString::fromStdString(text));
}

void ViewAdapter::showInformation(const std::string& text) {
    m_messages.showInformation(&m_window, QString::fromStdString(text));
}

bool ViewAdapter::confirmForcedQuit(const std::string& text) {
    return m_messages.confirmForcedQuit(&m_window, QString::fromStdString(text));
}

void ViewAdapter::bringToFront() {
    m_window.activateWindow();
    m_window.raise();
}

void ViewAdapter::closeWindow() {
    QMetaObject::invokeMethod(
        &m_window, [this] { m_window.close(); }, Qt::QueuedConnection);
}

void ViewAdapter::setRowPercent(int row, std::optional<int> percent) {
    QTreeWidgetItem* item = m_form.jobList->topLevelItem(row);
    if (!item || !update(*item, kPercentRole, percent ? QVariant(*percent) : QVariant())) return;
    tellCellChange(*m_form.jobList, row, showLook(*item));
}

// Where the pointer would show the tooltip: at the status cell, brought into view.
void ViewAdapter::showRowReason(int row, const std::string& reason) {
    QTreeWidget* list = m_form.jobList;
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (!item) return;
    list->scrollToItem(item);
    const QRect cell = list->visualRect(list->model()->index(row, kStatusColumn));
    QToolTip::showText(list->viewport()->mapToGlobal(cell.center()),
                       reasonTip(QString::fromStdString(reason)), list->viewport());
}

// The files as a drop would give them: local files only, their names' exact bytes.
// The window is made active again with the focus where it was: as the
// dialog goes, the window manager may leave no window active, and a keyboard
// user's next keys would go nowhere, unheard.
std::vector<std::string> ViewAdapter::chooseFiles() {
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const QList<QUrl> chosen =
        QFileDialog::getOpenFileUrls(&m_window, QString::fromUtf8(texts::kFileDialogTitle), QUrl(), QString(),
                                     nullptr, {}, {QStringLiteral("file")});
    returnFromDialog(m_window, focus);
    return localFiles(chosen);
}

void ViewAdapter::announce(const std::string& text) {
    if (!m_notice) m_notice = new SpokenNotice(&m_window);
    m_notice->say(QString::fromStdString(text));
}

void ViewAdapter::focusStartButton() { m_form.startButton->setFocus(); }

}  // namespace mirvane
