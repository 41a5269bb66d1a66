#include "ui/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QStyledItemDelegate>

#include "engine/platform/platform.h"
#include "engine/texts.h"
#include "ui/app_icon.h"
#include "ui/message_boxes.h"
#include "ui_Unit1.h"

namespace mirvane {

namespace {

// The size rules count the window's outer size as a window with the common
// frame would have it: 8 pixels wider and 27 higher than the client area.
// Qt reports the real frame only under some window managers and none without
// one, so the client size plus this fixed frame gives the same layout
// everywhere.
const QSize kAssumedFrame(8, 27);
const QSize kMinimumOuterSize(426, 460);
constexpr int kHintLeft = 5;
constexpr int kHintWidthLessThanOuter = 15;

QFont japaneseFont(const QString& family, const QString& fallback) {
    QFont font;
    font.setFamilies({family, fallback});
    font.setPixelSize(12);
    return font;
}

void setColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

// Rows exactly as high as the list's 12-pixel font.
class FixedRowHeight : public QStyledItemDelegate {
public:
    FixedRowHeight(int height, QObject* parent) : QStyledItemDelegate(parent), m_height(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

}  // namespace

TForm1::TForm1(UnitState& unit, const AppPaths& paths, const QStringList& commandLineFiles,
               MessageBoxes& messages, QWidget* parent)
    : QWidget(parent),
      m_ui(std::make_unique<Ui::TForm1>()),
      m_unit(unit),
      m_paths(paths),
      m_messages(messages),
      m_view(*m_ui),
      m_driver(unit, m_uiThread, m_view, paths, m_presets) {
    m_ui->setupUi(this);
    setUpLook();
    setAcceptDrops(true);
    // Key preview: the window hears every key before the widget that has the focus.
    qApp->installEventFilter(this);
    FormCreate(commandLineFiles);
}

TForm1::~TForm1() = default;

void TForm1::setUpLook() {
    setWindowIcon(appIcon());
    setFont(japaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")));
    setColor(this, QPalette::Window, palette().color(QPalette::Button));

    m_ui->lbTo->setFont(japaneseFont(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")));
    m_ui->lbTo->setItemDelegate(new FixedRowHeight(12, m_ui->lbTo));

    setColor(m_ui->lvData, QPalette::Base, Qt::white);
    setColor(m_ui->lvData, QPalette::Window, Qt::white);
    m_ui->lvData->setColumnWidth(0, 320);
    m_ui->lvData->setColumnWidth(1, 80);

    setColor(m_ui->txtDrag, QPalette::Window, Qt::white);
    m_ui->txtDrag->raise();
}

void TForm1::FormCreate(const QStringList& commandLineFiles) {
    m_unit.StartupFailed = false;
    m_unit.LogEnabled = true;
    m_unit.LastPresetIndex = 0;

    move(0, 0);
    setWindowTitle(QString::fromUtf8(texts::kAppCaption));

    // Every check runs and reports; the window closes once it has been shown.
    auto fail = [this](const QString& message) {
        m_messages.showError(this, message);
        m_unit.StartupFailed = true;
    };
    if (!platform::fileExists(m_paths.settingsFile))
        fail(QStringLiteral("動画設定INIファイル(MovieSet.ini)がありません。"));
    if (!platform::fileExists(m_paths.encoder)) fail(QStringLiteral("ffmpeg.exeがありません。"));
    LoadPresets();
    if (m_ui->lbTo->count() == 0) fail(QStringLiteral("動画設定INIファイルの読込みに失敗しました。"));
    m_ui->lbTo->setCurrentRow(0);

    if (!commandLineFiles.isEmpty()) {
        m_ui->txtDrag->hide();
        m_ui->lvData->setUpdatesEnabled(false);
        for (const QString& file : commandLineFiles) addJobRow(file);
        m_ui->lvData->setUpdatesEnabled(true);
    }
}

void TForm1::LoadPresets() {
    m_presets = mirvane::LoadPresets(m_paths.settingsFile);
    m_ui->lbTo->clear();
    for (const TListData& preset : m_presets.Presets)
        m_ui->lbTo->addItem(QString::fromStdString(preset.Title));
}

void TForm1::addJobRow(const QString& path) {
    auto* row = new QTreeWidgetItem(m_ui->lvData, {path, QString::fromUtf8(texts::kStatusPending)});
    row->setTextAlignment(1, Qt::AlignCenter);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm1::FormShow() {
    // Closing from inside the show would cut it short; the close follows
    // as soon as the window is up.
    if (m_unit.StartupFailed)
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    FormCloseQuery(canClose);
    // A running batch lives inside the start button's handler on this very
    // window, so the window stays until that handler returns and closes it.
    if (canClose && m_driver.isRunning()) {
        m_closePending = true;
        canClose = false;
    }
    event->setAccepted(canClose);
}

void TForm1::FormCloseQuery(bool& canClose) {
    if (m_ui->btnStart->text() == QString::fromUtf8(texts::kCaptionStop) &&
        !m_messages.confirmForcedQuit(this, QStringLiteral("変換中ですが強制終了しますか？"))) {
        canClose = false;
        return;
    }
    m_driver.requestStop();
}

void TForm1::btnStartClick() {
    m_driver.btnStartClick();
    if (m_closePending && !m_driver.isRunning()) {
        m_closePending = false;
        close();
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    QSize outer = size() + kAssumedFrame;
    QLabel* hint = m_ui->txtDrag;
    if (!hint->isHidden())
        hint->setGeometry(kHintLeft, hint->y(), outer.width() - kHintWidthLessThanOuter, hint->height());
    // One resize for both limits: the new size arrives later as its own
    // resize, which lays the hint out again for the final width.
    QSize allowed = outer.expandedTo(kMinimumOuterSize);
    if (allowed != outer) resize(allowed - kAssumedFrame);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == firstKeyReceiver()) {
        auto* key = static_cast<QKeyEvent*>(event);
        FormKeyDown(key->key(), key->modifiers());
    }
    return QWidget::eventFilter(watched, event);
}

// The widget a key press of this window reaches first. A key it ignores is
// passed on to its parents and comes through the filter again.
QWidget* TForm1::firstKeyReceiver() {
    QWidget* focus = focusWidget();
    return focus ? focus : this;
}

void TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // Only while idle, so that a job is logged completely or not at all.
    if (key == Qt::Key_F1 && modifiers.testFlag(Qt::ControlModifier) &&
        m_ui->btnStart->text() == QString::fromUtf8(texts::kCaptionStart))
        m_unit.LogEnabled = false;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    WMDropFiles(paths);
}

void TForm1::WMDropFiles(const QStringList&) {
    // A drop is accepted, but the window takes no files from it.
}

}  // namespace mirvane
