#include "qt/view_adapter.h"

#include <QFile>
#include <QSignalBlocker>
#include <algorithm>

#include "engine/window/form_layout.h"
#include "engine/window/status_look.h"
#include "qt/message_boxes.h"
#include "ui_main_window.h"

namespace mirvane {

namespace {

// A tooltip that looks like markup is shown as rich text, and a reason
// quotes file names and the encoder's words: it goes as an escaped paragraph
// that keeps every space, so that it always reads exactly as it is.
QString reasonTip(const std::string& reason) {
    if (reason.empty()) return {};
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") +
           QString::fromStdString(reason).toHtmlEscaped() + QStringLiteral("</p>");
}

// Only what differs from the item's current look is written: a new row of
// a big drop then costs no more than its path.
void showJob(QTreeWidgetItem& item, const JobRow& row) {
    if (item.data(1, kStatusRole).toInt() != static_cast<int>(row.status) || item.text(1).isEmpty()) {
        item.setText(1, QString::fromUtf8(statusText(row.status)));
        item.setData(1, kStatusRole, static_cast<int>(row.status));
    }
    if (!row.reason.empty() || !item.toolTip(1).isEmpty()) item.setToolTip(1, reasonTip(row.reason));
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
    pending.setTextAlignment(1, Qt::AlignCenter);
    showJob(pending, JobRow{});
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const JobRow& row : rows) {
        QTreeWidgetItem* item = pending.clone();
        item->setText(0, fileName(row.path));
        showJob(*item, row);
        items << item;
    }
    m_ui.lvData->setUpdatesEnabled(false);
    m_ui.lvData->addTopLevelItems(items);
    m_ui.lvData->setUpdatesEnabled(true);
}

void ViewAdapter::rowChanged(int row, const JobRow& data) { showJob(*m_ui.lvData->topLevelItem(row), data); }

// Taking all rows out and putting the kept ones back costs one pass, however
// many are removed; the row at the top of the view and the focus row stay in
// place, a removed one handing its place to the next row kept.
void ViewAdapter::rowsRemoved(const std::vector<int>& removed) {
    QTreeWidget* list = m_ui.lvData;
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

void ViewAdapter::rowsCleared() { m_ui.lvData->clear(); }

GaugeView& ViewAdapter::gauge() { return *m_ui.gauge; }

void ViewAdapter::setStartCaption(StartCaption caption) {
    m_ui.btnStart->setText(
        QString::fromUtf8(caption == StartCaption::Stop ? texts::kCaptionStop : texts::kCaptionStart));
}

void ViewAdapter::setStartEnabled(bool enabled) { m_ui.btnStart->setEnabled(enabled); }

void ViewAdapter::setOptionControlsEnabled(bool enabled) {
    m_ui.btnAllClr->setEnabled(enabled);
    m_ui.lbTo->setEnabled(enabled);
    m_ui.chkDShow->setEnabled(enabled);
}

void ViewAdapter::setHintVisible(bool visible) { m_ui.txtDrag->setVisible(visible); }

void ViewAdapter::setPresetTitles(const std::vector<std::string>& titles) {
    const QSignalBlocker quiet(m_ui.lbTo);
    m_ui.lbTo->clear();
    for (const std::string& title : titles) m_ui.lbTo->addItem(QString::fromStdString(title));
    m_ui.lbTo->setCurrentRow(0);
}

int ViewAdapter::selectedPreset() const { return m_ui.lbTo->currentRow(); }

bool ViewAdapter::directShowTicked() const { return m_ui.chkDShow->isChecked(); }

std::vector<int> ViewAdapter::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_ui.lvData->selectionModel()->selection())
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

}  // namespace mirvane

namespace mirvane {

void ViewAdapter::setRowPercent(int, std::optional<int>) {}

void ViewAdapter::showRowReason(int, const std::string&) {}

std::vector<std::string> ViewAdapter::chooseFiles() { return {}; }

void ViewAdapter::focusStartButton() { m_ui.btnStart->setFocus(); }

}  // namespace mirvane
