#pragma once
// The main window on Qt: the form's controls, made from the engine's form
// and texts, their look and layout, and the handlers, each forwarding its
// event to the engine's window behaviour.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "engine/encoding/batch_flags.h"
#include "engine/encoding/clock.h"
#include "engine/jobs/app_paths.h"
#include "engine/window/main_window_presenter.h"
#include "qt/qt_desktop_services.h"
#include "qt/qt_ui_thread.h"
#include "qt/view_adapter.h"

class QAbstractItemView;

namespace mirvane {

class MessageBoxes;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    // commandLineFiles are the arguments' exact bytes.
    MainWindow(BatchFlags& flags, const AppPaths& paths, const std::vector<std::string>& commandLineFiles,
               MessageBoxes& messages, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Files a copy started after this one was given. Safe from any thread:
    // they reach the window's behaviour on the UI thread, in the order of
    // the calls.
    void openHandedOverFiles(std::vector<std::string> files);
    // The system asks the program to end: the batch stops, its working files
    // go, and the window closes with any box it shows.
    void terminationRequested();

    // For tests: the behaviour behind the window and the adapter it draws through.
    const MainWindowPresenter& presenter() const { return m_presenter; }
    ViewAdapter& view() { return m_view; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void startButtonClick();
    void clearButtonClick();
    void presetListClick();
    void directShowBoxClick();
    void FormCreate(const std::vector<std::string>& commandLineFiles);
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormResize();
    void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void WMDropFiles(const std::vector<std::string>& paths);
    void jobListKeyDown(int key, Qt::KeyboardModifiers modifiers);

    void createControls();
    void setUpLook();
    void keepAPresetSelected();
    void listEntered(QAbstractItemView* list);
    QWidget* firstKeyReceiver();

    // The key press that came through the window last, and whether it was handled.
    const QEvent* m_windowKey = nullptr;
    bool m_windowKeyHandled = false;
    FormControls m_form;
    QtUiThread m_uiThread;
    SteadyClock m_clock;
    ViewAdapter m_view;
    QtDesktopServices m_desktop;
    MainWindowPresenter m_presenter;
};

}  // namespace mirvane
