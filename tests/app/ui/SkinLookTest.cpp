// Under the product's skin a disabled control looks disabled, and the control with keyboard focus
// is marked: each is drawn differently from the same control in its ordinary state.

#include "common/TestSupport.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace mirelo {
namespace {

struct Control {
    const char* kind;
    std::function<QWidget*(QWidget* parent)> make;
};

QWidget* inToolbar(QWidget* parent) {
    // The command strip's pictures have rules of their own.
    auto* strip = new QFrame(parent);
    strip->setObjectName(QStringLiteral("Picture3"));
    auto* picture = new QToolButton(strip);
    picture->setText(QStringLiteral("Settings"));
    picture->setToolButtonStyle(Qt::ToolButtonTextOnly);
    (new QHBoxLayout(strip))->addWidget(picture);
    return picture;
}

const Control kControls[] = {
    {"push button", [](QWidget* p) { return new QPushButton(QStringLiteral("Start capture"), p); }},
    {"default button",
     [](QWidget* p) {
         auto* b = new QPushButton(QStringLiteral("OK"), p);
         b->setDefault(true);
         return b;
     }},
    {"toolbar picture", inToolbar},
    {"check box",
     [](QWidget* p) { return new QCheckBox(QStringLiteral("Automatically Shutdown"), p); }},
    {"radio button", [](QWidget* p) { return new QRadioButton(QStringLiteral("Overwrite"), p); }},
    {"line edit", [](QWidget* p) { return new QLineEdit(QStringLiteral("/home/videos"), p); }},
    {"combo box",
     [](QWidget* p) {
         auto* c = new QComboBox(p);
         c->addItem(QStringLiteral("Camera one"));
         return c;
     }},
    {"slider",
     [](QWidget* p) {
         auto* s = new QSlider(Qt::Horizontal, p);
         s->setValue(40);
         return s;
     }},
    {"list",
     [](QWidget* p) {
         auto* t = new QTreeWidget(p);
         t->setHeaderLabels({QStringLiteral("File Name")});
         new QTreeWidgetItem(t, {QStringLiteral("clip.avi")});
         return t;
     }},
};

class SkinLook : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(applySkin(&window, QDir(test::appDir()).filePath("skins/frmmain.skn")));
        layout = new QVBoxLayout(&window);
        sink = new QLineEdit(&window); // takes the focus away from the control under test
        layout->addWidget(sink);
    }

    QWidget* add(const Control& control) {
        QWidget* w = control.make(&window);
        layout->addWidget(w->parentWidget() == &window ? w : w->parentWidget());
        return w;
    }

    void showActive() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QWidget window;
    QVBoxLayout* layout = nullptr;
    QLineEdit* sink = nullptr;
};

TEST_F(SkinLook, DisabledControlsAreDrawnDifferently) {
    QList<QWidget*> controls;
    for (const Control& c : kControls)
        controls << add(c);
    auto* label = new QLabel(QStringLiteral("Camera"), &window);
    layout->addWidget(label);
    auto* frame = new QGroupBox(QStringLiteral("Capture File"), &window);
    frame->setMinimumSize(200, 40);
    layout->addWidget(frame);
    showActive();
    sink->setFocus();
    const QList<std::pair<QString, QWidget*>> all = [&] {
        QList<std::pair<QString, QWidget*>> list;
        for (qsizetype i = 0; i < controls.size(); ++i)
            list.append({QLatin1String(kControls[i].kind), controls[i]});
        list.append({QStringLiteral("label"), label});
        list.append({QStringLiteral("group box"), frame});
        return list;
    }();
    for (const auto& [kind, w] : all) {
        const QImage enabled = w->grab().toImage();
        w->setEnabled(false);
        const QImage disabled = w->grab().toImage();
        w->setEnabled(true);
        EXPECT_TRUE(enabled != disabled) << kind.toStdString() << " looks the same when disabled";
    }
}

TEST_F(SkinLook, TheFocusedControlIsMarked) {
    QList<QWidget*> controls;
    for (const Control& c : kControls)
        controls << add(c);
    showActive();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        QWidget* w = controls[i];
        sink->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(sink->hasFocus());
        const QImage plain = w->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(w->hasFocus()) << kControls[i].kind;
        const QImage focused = w->grab().toImage();
        EXPECT_TRUE(plain != focused) << kControls[i].kind << " shows no focus";
    }
}

} // namespace
} // namespace mirelo
