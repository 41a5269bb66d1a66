#include "qt/message_boxes.h"

#include <QMessageBox>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// A message is never markup, whatever it quotes.
void showAsWritten(QMessageBox& box) { box.setTextFormat(Qt::PlainText); }

}  // namespace

void MessageBoxes::showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(texts::kAppCaption), text, QMessageBox::Ok,
                    parent);
    showAsWritten(box);
    box.exec();
}

void MessageBoxes::showInformation(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(texts::kAppCaption), text, QMessageBox::Ok,
                    parent);
    showAsWritten(box);
    box.exec();
}

bool MessageBoxes::confirmForcedQuit(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(texts::kAppCaption), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    showAsWritten(box);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace mirvane
