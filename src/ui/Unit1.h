#pragma once
// The main window: the job list, the presets, the start button and the
// gauge. It checks the program's folder at creation, hands the batch to the
// engine's driver and keeps the window alive until a running batch is over.

#include <QStringList>
#include <QWidget>
#include <memory>

#include "engine/app_paths.h"
#include "engine/batch_driver.h"
#include "engine/presets.h"
#include "engine/unit_state.h"
#include "ui/form_batch_view.h"
#include "ui/qt_ui_thread.h"

class QStyleOptionViewItem;

namespace Ui {
class TForm1;
}

namespace mirvane {

class MessageBoxes;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    TForm1(UnitState& unit, const AppPaths& paths, const QStringList& commandLineFiles,
           MessageBoxes& messages, QWidget* parent = nullptr);
    ~TForm1() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void btnStartClick();
    void btnAllClrClick();
    void lbToClick();
    void chkDShowClick();

private:
    void FormCreate(const QStringList& commandLineFiles);
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormResize();
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void WMDropFiles(const QStringList& paths);
    void lvDataKeyDown(int key);
    void LoadPresets();
    // Chooses the text colour of the status cell that option describes.
    static void lvDataAdvancedCustomDrawSubItem(QStyleOptionViewItem& option);

    void setUpLook();
    void appendJobRows(const QStringList& paths);
    void removeSelectedRows();
    void resetFailedRows();
    bool startButtonReads(const char* caption) const;
    QWidget* firstKeyReceiver();

    std::unique_ptr<Ui::TForm1> m_ui;
    UnitState& m_unit;
    const AppPaths& m_paths;
    MessageBoxes& m_messages;
    PresetTable m_presets;
    QtUiThread m_uiThread;
    FormBatchView m_view;
    BatchDriver m_driver;
    // A confirmed close that waits for the running batch to return.
    bool m_closePending = false;
};

}  // namespace mirvane
