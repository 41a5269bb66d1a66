#include "ui/form_batch_view.h"

#include <QFile>

#include "ui_Unit1.h"

namespace mirvane {

int FormBatchView::rowCount() const { return m_ui.lvData->topLevelItemCount(); }

std::string FormBatchView::rowCaption(int row) const {
    return QFile::encodeName(m_ui.lvData->topLevelItem(row)->text(0)).toStdString();
}

std::string FormBatchView::rowStatus(int row) const {
    return m_ui.lvData->topLevelItem(row)->text(1).toStdString();
}

void FormBatchView::setRowStatus(int row, const std::string& status) {
    m_ui.lvData->topLevelItem(row)->setText(1, QString::fromStdString(status));
}

GaugeView& FormBatchView::gauge() { return *m_ui.Gauge1; }

std::string FormBatchView::startCaption() const { return m_ui.btnStart->text().toStdString(); }

void FormBatchView::setStartCaption(const std::string& caption) {
    m_ui.btnStart->setText(QString::fromStdString(caption));
}

void FormBatchView::setStartEnabled(bool enabled) { m_ui.btnStart->setEnabled(enabled); }

void FormBatchView::setOptionControlsEnabled(bool enabled) {
    m_ui.btnAllClr->setEnabled(enabled);
    m_ui.lbTo->setEnabled(enabled);
    m_ui.chkDShow->setEnabled(enabled);
}

int FormBatchView::selectedPreset() const { return m_ui.lbTo->currentRow(); }

bool FormBatchView::directShowTicked() const { return m_ui.chkDShow->isChecked(); }

}  // namespace mirvane
