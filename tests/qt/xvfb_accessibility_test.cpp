// The window as assistive technology reads it, through Qt's accessibility
// interfaces, with the events Qt would send on the accessibility bus recorded.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDBusConnection>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include "form_fixture.h"
#include "private_bus.h"
#include "ui_test_main.h"

void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace mirvane::test {
namespace {

const QString kSessionBus = startBus("DBUS_SESSION_BUS_ADDRESS");
[[maybe_unused]] const int kAlwaysOn = ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);

// Qt turns accessibility on once the session bus names the accessibility
// bus; the test answers for it with the session bus itself.
class AccessibilityBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Bus")

public:
    AccessibilityBus() {
        QDBusConnection::sessionBus().registerObject("/org/a11y/bus", this, QDBusConnection::ExportAllSlots);
        QDBusConnection::sessionBus().registerService("org.a11y.Bus");
    }

public slots:
    QString GetAddress() { return kSessionBus; }
};

QStringList recorded;

// What a screen reader hears of a value or a cell's words, as "what subject".
void record(QAccessibleEvent* event) {
    if (event->type() == QAccessible::ValueChanged)
        recorded << "value " + static_cast<QAccessibleValueChangeEvent*>(event)->value().toString();
    if (event->type() == QAccessible::NameChanged)
        recorded << "name " + event->accessibleInterface()->text(QAccessible::Name);
    if (event->type() == QAccessible::DescriptionChanged)
        recorded << "description " + event->accessibleInterface()->text(QAccessible::Description);
}

// A shown window with one pending row, /v/a.avi.
struct Accessible : ShownForm {
    void SetUp() override {
        static auto* bus = new AccessibilityBus;
        ASSERT_TRUE(bus && QTest::qWaitFor([] { return QAccessible::isActive(); }));
        QAccessible::installUpdateHandler(&record);
        ShownForm::SetUp();
        form.window->openHandedOverFiles({"/v/a.avi"});
        // Laid out: a row has cells only then.
        ASSERT_EQ(settled([&] { return accessible("lvData")->tableInterface()->rowCount(); }, 1), 1);
        recorded.clear();
    }
    void TearDown() override { QAccessible::installUpdateHandler(nullptr); }
    QAccessibleInterface* accessible(const char* name) const {
        QWidget* widget = form.window->objectName() == name ? form.window.get() : form.control<QWidget>(name);
        return QAccessible::queryAccessibleInterface(widget);
    }
};

struct NameCase {
    const char* name;
    const char* control;
    QAccessible::Role role;
    QString accessibleName;
};

class Names : public Accessible, public testing::WithParamInterface<NameCase> {};

TEST_P(Names, SayWhatEachControlIs) {
    EXPECT_EQ(accessible(GetParam().control)->role(), GetParam().role);
    EXPECT_EQ(accessible(GetParam().control)->text(QAccessible::Name), GetParam().accessibleName);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Names,
    testing::Values(NameCase{"Window", "mainWindow", QAccessible::Window, "Mirvane 1.00"},
                    NameCase{"Panel", "panel", QAccessible::Grouping, ""},
                    NameCase{"PresetsByTheirLabel", "lbTo", QAccessible::List, "コンバート"},
                    NameCase{"Jobs", "lvData", QAccessible::Tree, "ファイル一覧"},
                    NameCase{"Gauge", "gauge", QAccessible::ProgressBar, "進捗"}),
    kByName);

// From 420 of 1000 (42 %): a value event for each change of the shown percentage, and only then.
struct GaugeCase {
    const char* name;
    int maxValue, progress;
    int shown;
    QStringList events;
};

class GaugeValue : public Accessible, public testing::WithParamInterface<GaugeCase> {};

TEST_P(GaugeValue, IsTheShownPercentage) {
    const GaugeCase& c = GetParam();
    GaugeView& gauge = form.window->view().gauge();
    gauge.setMaxValue(1000);
    gauge.setProgress(420);
    recorded.clear();

    gauge.setMaxValue(c.maxValue);
    gauge.setProgress(c.progress);

    EXPECT_EQ(recorded, c.events);
    QAccessibleInterface* bar = accessible("gauge");
    EXPECT_EQ(bar->text(QAccessible::Value), QString("%1%").arg(c.shown));
    QAccessibleValueInterface* value = bar->valueInterface();
    EXPECT_EQ(QVariantList({value->currentValue(), value->minimumValue(), value->maximumValue()}),
              QVariantList({c.shown, 0, 100}));
}

INSTANTIATE_TEST_SUITE_P(Changes, GaugeValue,
                         testing::Values(GaugeCase{"SamePercent", 1000, 429, 42, {}},
                                         GaugeCase{"NextPercent", 1000, 430, 43, {"value 43"}},
                                         GaugeCase{"NewMaximum", 500, 420, 84, {"value 84"}}),
                         kByName);

// Each step's cell words and description, and what a screen reader hears of them.
TEST_F(Accessible, TheStatusCellTellsEachChangeAndAFailedRowsReason) {
    struct Step {
        JobStatus status;
        std::optional<int> percent;
        std::string reason;
        QStringList events;
    };
    const QStringList converting{"name 変換中"};
    for (const auto& [status, percent, reason, events] :
         {Step{JobStatus::Converting, {}, {}, converting},
          Step{JobStatus::Converting, 42, {}, {"name 変換中 42%"}}, Step{JobStatus::Converting, 42, {}, {}},
          Step{JobStatus::Converting, {}, {}, converting},
          Step{JobStatus::Failed,
               {},
               "a.avi: Invalid data",
               {"name エラー", "description a.avi: Invalid data"}}}) {
        recorded.clear();
        form.window->view().rowChanged(0, JobRow{"/v/a.avi", status, reason});
        form.window->view().setRowPercent(0, percent);
        EXPECT_EQ(recorded, events);
    }
    QAccessibleInterface* cell = accessible("lvData")->tableInterface()->cellAt(0, 1);
    EXPECT_EQ(cell->text(QAccessible::Description), "a.avi: Invalid data");
}

struct ReasonKeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool shows;
};

class ReasonKey : public Accessible, public testing::WithParamInterface<ReasonKeyCase> {};

TEST_P(ReasonKey, ShowsTheFailedRowsTooltipBesideIt) {
    auto* list = form.control<QTreeWidget>("lvData");
    form.control<QPushButton>("btnStart")->click();
    ASSERT_EQ(settled([&] { return form.column(1); }, QStringList{"エラー"}), QStringList{"エラー"});
    list->topLevelItem(0)->setSelected(true);
    list->setFocus();
    QToolTip::hideText();

    QTest::keyClick(list, GetParam().key, GetParam().modifiers);

    EXPECT_EQ(QToolTip::isVisible(), GetParam().shows);
    EXPECT_EQ(QToolTip::text(), GetParam().shows ? list->topLevelItem(0)->toolTip(1) : QString());
}

INSTANTIATE_TEST_SUITE_P(Keys, ReasonKey,
                         testing::Values(ReasonKeyCase{"Return", Qt::Key_Return, Qt::NoModifier, true},
                                         ReasonKeyCase{"Enter", Qt::Key_Enter, Qt::KeypadModifier, true},
                                         ReasonKeyCase{"MenuKey", Qt::Key_Menu, Qt::NoModifier, true},
                                         ReasonKeyCase{"ShiftF10", Qt::Key_F10, Qt::ShiftModifier, true},
                                         ReasonKeyCase{"F10", Qt::Key_F10, Qt::NoModifier, false}),
                         kByName);

// Return presses a focused button, and no button elsewhere.
TEST_F(Accessible, ReturnPressesTheFocusedButtonOnly) {
    for (const auto& [focused, rowsLeft] : {std::pair{"lvData", 1}, {"btnAllClr", 0}}) {
        auto* widget = form.control<QWidget>(focused);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        EXPECT_EQ(form.column(0).size(), rowsLeft) << focused;
    }
}

// Ctrl+O opens the file dialog over the window; what it chooses is added, a cancel adds nothing.
TEST_F(Accessible, CtrlOOpensTheFileDialogForSeveralFiles) {
    TempDir folder;
    folder.write("a.avi", "");
    folder.write("b c.avi", "");
    QStringList seen;
    for (const bool choose : {false, true}) {
        QTimer::singleShot(100, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            seen << dialog->windowTitle();
            EXPECT_EQ(dialog->parentWidget(), form.window.get());
            if (!choose) return dialog->reject();
            dialog->setDirectory(QString::fromStdString(folder.path()));
            auto* names = dialog->findChild<QLineEdit*>("fileNameEdit");
            names->setText("\"a.avi\" \"b c.avi\"");
            QTest::keyClick(names, Qt::Key_Return);
        });
        auto* presets = form.control<QWidget>("lbTo");
        presets->setFocus();
        QTest::keyClick(presets, Qt::Key_O, Qt::ControlModifier);
    }
    EXPECT_EQ(seen, QStringList(2, "ファイルを追加"));
    const QString path = QString::fromStdString(folder.path());
    EXPECT_EQ(form.column(0), QStringList({"/v/a.avi", path + "/a.avi", path + "/b c.avi"}));
}

}  // namespace
}  // namespace mirvane::test

#include "xvfb_accessibility_test.moc"
