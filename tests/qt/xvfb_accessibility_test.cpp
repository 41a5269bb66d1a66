// The window as assistive technology reads it, through Qt's interfaces, and
// what a screen reader would hear, recorded in place of the accessibility bus.

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFileDialog>
#include <QTimer>
#include <QToolTip>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

// Qt turns accessibility on once the session bus names the accessibility bus: here the session bus.
struct AccessibilityBus : QDBusVirtualObject {
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        return QDBusConnection(bus).send(call.createReply(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")));
    }
};

// The gauge's values, the list cells' words (the buttons' captions change too) and descriptions.
QStringList heard;
void record(QAccessibleEvent* event) {
    QAccessibleInterface* source = event->accessibleInterface();
    if (event->type() == QAccessible::ValueChanged) heard << source->text(QAccessible::Value);
    if (event->type() == QAccessible::NameChanged && source->role() == QAccessible::TreeItem)
        heard << source->text(QAccessible::Name);
    if (event->type() == QAccessible::DescriptionChanged)
        heard << "why " + source->text(QAccessible::Description);
}

struct Accessible : ShownForm {
    void SetUp() override {
        static auto* bus = new AccessibilityBus;
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        QDBusConnection::sessionBus().registerVirtualObject("/org/a11y/bus", bus);
        QDBusConnection::sessionBus().registerService("org.a11y.Bus");
        ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }));
        QAccessible::installUpdateHandler(&record);
        heard.clear();
        ShownForm::SetUp();
    }
    void TearDown() override { QAccessible::installUpdateHandler(nullptr); }
    QAccessibleInterface* accessible(const char* name) const {
        return QAccessible::queryAccessibleInterface(form.control<QWidget>(name));
    }
};

TEST_F(Accessible, ControlsSayWhatTheyAre) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.window.get())->role(), QAccessible::Window);
    for (auto [name, role, text] : {std::tuple{"panel", QAccessible::Grouping, ""},
                                    {"presetList", QAccessible::List, "コンバート"},
                                    {"jobList", QAccessible::Tree, "ファイル一覧"},
                                    {"gauge", QAccessible::ProgressBar, "進捗"}}) {
        EXPECT_EQ(accessible(name)->role(), role) << name;
        EXPECT_EQ(accessible(name)->text(QAccessible::Name), text);
    }
}

// From 420 of 1000: one event for each change of the whole percentage shown, and only then.
TEST_F(Accessible, TheGaugesValueIsTheShownPercentage) {
    GaugeView& gauge = form.window->view().gauge();
    gauge.setMaxValue(1000);
    gauge.setProgress(420);
    for (auto [maxValue, progress, shown, events] :
         {std::tuple{1000, 429, 42, ""}, {1000, 430, 43, "43%"}, {500, 430, 86, "86%"}}) {
        heard.clear();
        gauge.setMaxValue(maxValue);
        gauge.setProgress(progress);
        EXPECT_EQ(heard.join(' '), events);
        const QAccessibleValueInterface* value = accessible("gauge")->valueInterface();
        EXPECT_EQ(QVariantList({value->currentValue(), value->maximumValue()}), QVariantList({shown, 100}));
    }
}

// Return on 開始 runs a batch whose encoder prints nothing; the reason keys show the row's tooltip.
TEST_F(Accessible, TheStatusCellTellsItsChangesAndAFailedRowsReason) {
    auto* list = form.control<QTreeWidget>("jobList");
    form.window->openHandedOverFiles({"/v/a.avi"});
    ASSERT_EQ(settled([&] { return accessible("jobList")->tableInterface()->rowCount(); }, 1), 1);
    form.control<QWidget>("startButton")->setFocus();
    QTest::keyClick(form.control<QWidget>("startButton"), Qt::Key_Return);
    const QString reason = QString::fromStdString(form.window->presenter().jobs().row(0).reason);
    EXPECT_EQ(heard, QStringList({"変換中", "エラー: " + reason, "why エラー: " + reason}))
        << "the reason read with the row";

    list->topLevelItem(0)->setSelected(true);
    list->setFocus();
    for (auto [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                  {Qt::Key_Menu, Qt::NoModifier},
                                  {Qt::Key_F10, Qt::ShiftModifier}}) {
        QToolTip::hideText();
        QTest::keyClick(list, key, modifiers);
        EXPECT_EQ(QToolTip::text(), list->topLevelItem(0)->toolTip(1)) << key;
    }
    form.window->view().rowChanged(0, JobRow{"/v/a.avi", JobStatus::Converting, {}});
    form.window->view().setRowPercent(0, 42);
    EXPECT_EQ(heard.mid(3), QStringList({"変換中", "why ", "変換中 42%"}));
}

// Ctrl+O opens the file dialog for several files over the window.
TEST_F(Accessible, CtrlOOpensTheFileDialog) {
    QString title;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog && dialog->parentWidget() == form.window.get());
        if (dialog->fileMode() == QFileDialog::ExistingFiles) title = dialog->windowTitle();
        dialog->reject();
    });
    form.control<QWidget>("presetList")->setFocus();
    QTest::keyClick(form.control<QWidget>("presetList"), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(title, "ファイルを追加");
}

}  // namespace
}  // namespace mirvane::test
