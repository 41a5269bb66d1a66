#pragma once
// The batch driver's view of the main window's widgets. Texts cross here
// between the engine's UTF-8 bytes and Qt's strings; row captions are paths
// and go through the file-name encoding.

#include "engine/batch_view.h"

namespace Ui {
class TForm1;
}

namespace mirvane {

class FormBatchView : public BatchView {
public:
    // The widgets are looked up at each call, so the form may be set up later.
    explicit FormBatchView(Ui::TForm1& ui) : m_ui(ui) {}

    int rowCount() const override;
    std::string rowCaption(int row) const override;
    std::string rowStatus(int row) const override;
    void setRowStatus(int row, const std::string& status) override;

    GaugeView& gauge() override;

    std::string startCaption() const override;
    void setStartCaption(const std::string& caption) override;
    void setStartEnabled(bool enabled) override;
    void setOptionControlsEnabled(bool enabled) override;

    int selectedPreset() const override;
    bool directShowTicked() const override;

private:
    Ui::TForm1& m_ui;
};

}  // namespace mirvane
