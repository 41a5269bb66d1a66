#pragma once
// The program's message boxes, behind a seam so that tests can see which
// messages appear, in which order, and answer the questions themselves.

class QString;
class QWidget;

namespace mirvane {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // An error with the error icon and an OK button.
    virtual void showError(QWidget* parent, const QString& text);
    // A report with the information icon and an OK button.
    virtual void showInformation(QWidget* parent, const QString& text);
    // A warning with OK and Cancel, Cancel being the default; true for OK.
    virtual bool confirmForcedQuit(QWidget* parent, const QString& text);
};

}  // namespace mirvane
