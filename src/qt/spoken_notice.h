#pragma once
// Words for assistive technology alone, said wherever the focus is. Qt 6.4
// has no announcement event, and Orca drops name changes of anything but the
// focused object (and of table cells altogether), but it speaks an object of
// the notification role as it becomes showing. Each utterance is an object
// of its own, one pixel in the window's corner under everything else,
// drawing nothing: Orca reads an object's name when it gets to its event, by
// when a reused object would already say the next words.

#include <QObject>
#include <QStringList>
#include <QTimer>

class QWidget;

namespace mirvane {

class SpokenNotice : public QObject {
    Q_OBJECT

public:
    explicit SpokenNotice(QWidget* window);

    // Says text once. Texts given in one go (a row's end and the batch's,
    // two rows ending at once) are said as one utterance, so that the reader
    // does not cut one short with the next.
    void say(const QString& text);

private:
    void sayPending();

    QWidget* m_window;
    QStringList m_pending;
    QTimer m_gather;
};

}  // namespace mirvane
