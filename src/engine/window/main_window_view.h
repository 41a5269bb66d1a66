#pragma once
// What a window offers the engine beyond what a batch shows (BatchView): it
// lists the presets, shows messages, and reports the selected rows.
// Each window implements it over its own controls, tests over plain values.
// Called on the UI thread only.

#include <string>
#include <vector>

#include "engine/desktop/batch_view.h"

namespace mirvane {

class MainWindowView : public BatchView {
public:
    virtual void setHintVisible(bool visible) = 0;

    // Fills the preset list and selects the first entry, without either
    // counting as the user's choice.
    virtual void setPresetTitles(const std::vector<std::string>& titles) = 0;
    // Ascending row numbers.
    virtual std::vector<int> selectedRows() const = 0;

    // A failed row's reason beside the row, as its tooltip shows it, for
    // anyone who reads the list without a mouse.
    virtual void showRowReason(int row, const std::string& reason) = 0;
    // The system's dialog for choosing files to add, several at once: the
    // chosen paths as exact bytes, none when it was cancelled.
    virtual std::vector<std::string> chooseFiles() = 0;
    // Says text through assistive technology, once, wherever the focus is:
    // what the user cannot see change, or the answer to a key.
    virtual void announce(const std::string& text) = 0;
    // Gives the start button the keyboard focus.
    virtual void focusStartButton() = 0;

    // An error box with OK; returns once the user has closed it.
    virtual void showError(const std::string& text) = 0;
    // A box with OK that reports, not warns; returns once the user has closed it.
    virtual void showInformation(const std::string& text) = 0;
    // The warning with OK and Cancel, Cancel the default; true for OK.
    virtual bool confirmForcedQuit(const std::string& text) = 0;
    virtual void bringToFront() = 0;
    // Closes the window once the event being handled is over.
    virtual void closeWindow() = 0;
};

}  // namespace mirvane
