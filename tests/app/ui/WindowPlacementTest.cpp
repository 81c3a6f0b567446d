#include "app/WindowPlacement.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

TEST(WindowPlacement, OpensWhereItWasLeftOnlyWhenThatFitsAScreen) {
    const QRect primary(0, 0, 1024, 700);
    const QRect second(1024, 0, 1920, 1080);
    const QSize preferred(1120, 800);
    const QSize minimum(700, 500);
    const QSize frame(16, 48);
    const struct {
        const char* what;
        std::optional<WindowPlacement> saved;
        QList<QRect> screens;
        QRect expected;
    } cases[] = {
        {"nothing saved: preferred size made to fit, centred",
         std::nullopt,
         {primary},
         QRect(0, 0, 1008, 652).translated(8, 24)},
        {"nothing saved on a large screen: the preferred size",
         std::nullopt,
         {QRect(0, 0, 1920, 1080)},
         QRect(400, 140, 1120, 800)},
        {"saved and fitting",
         WindowPlacement{QRect(10, 20, 800, 600), false},
         {primary},
         QRect(10, 20, 800, 600)},
        {"saved on the second screen, which is there",
         WindowPlacement{QRect(1100, 40, 1200, 900), false},
         {primary, second},
         QRect(1100, 40, 1200, 900)},
        {"saved on a second screen that is gone",
         WindowPlacement{QRect(1100, 40, 1200, 900), false},
         {primary},
         QRect(8, 24, 1008, 652)},
        {"saved across the screen's edge",
         WindowPlacement{QRect(500, 300, 800, 600), false},
         {primary},
         QRect(8, 24, 1008, 652)},
        {"saved below the layout's minimum",
         WindowPlacement{QRect(10, 10, 300, 200), false},
         {primary},
         QRect(8, 24, 1008, 652)},
    };
    for (const auto& c : cases) {
        const QRect primaryArea = c.screens.first();
        EXPECT_EQ(openingGeometry(c.saved, c.screens, primaryArea, preferred, minimum, frame),
                  c.expected)
            << c.what;
    }
    // A screen smaller than the layout's minimum still gets the whole layout.
    const QRect tiny(0, 0, 640, 480);
    EXPECT_EQ(openingGeometry(std::nullopt, {tiny}, tiny, preferred, minimum, frame).size(),
              minimum);
}

TEST(WindowPlacement, IsKeptInItsOwnFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("window.dat"));
    EXPECT_FALSE(readWindowPlacement(file).has_value()) << "no file yet";
    ASSERT_TRUE(writeWindowPlacement(file, {QRect(-30, 40, 900, 650), true}));
    const std::optional<WindowPlacement> back = readWindowPlacement(file);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->geometry, QRect(-30, 40, 900, 650));
    EXPECT_TRUE(back->maximized);

    const char* unusable[] = {"", "[Form1]\nx=1\ny=2\nwidth=3\n",
                              "[Form1]\nx=1\ny=2\nwidth=0\nheight=5\n",
                              "[Form1]\nx=a\ny=2\nwidth=3\nheight=4\n", "\x01\x02 binary"};
    for (const char* contents : unusable) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(contents);
        f.close();
        EXPECT_FALSE(readWindowPlacement(file).has_value()) << contents;
    }
    // A file where its folder should be: nothing can be written there.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(writeWindowPlacement(dir.filePath(QStringLiteral("blocker/window.dat")),
                                      {QRect(0, 0, 10, 10), false}));
}

} // namespace
} // namespace mirelo
