#include "player/PlayerCommand.h"
#include "base/ToolLocator.h"
#include "player/PlayerCapabilities.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

const QString kOptions = QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  "
                                        "-nokeepaspect   -framedrop   -autosync   100   -vf   "
                                        "screenshot ");

struct TextCase {
    const char* name;
    std::optional<int> offset;
    quint64 window;
    QString media;
    QString expected;
};

TEST(PlayerCommand, TextKeepsTheFixedOptionsAndQuotesTheProgramAndTheFile) {
    const QString player = QStringLiteral("/opt/mirelo/mp.dll");
    const TextCase cases[] = {
        {"from the start", std::nullopt, 73400321, QStringLiteral("/v/a b.avi"),
         QStringLiteral("\"/opt/mirelo/mp.dll\" -wid 73400321") + kOptions +
             QStringLiteral("\"/v/a b.avi\"")},
        {"at an offset", 50, 12, QStringLiteral("/v/clip.mp4"),
         QStringLiteral("\"/opt/mirelo/mp.dll\" -ss 50 -wid 12") + kOptions +
             QStringLiteral("\"/v/clip.mp4\"")},
        {"offset zero is still an offset", 0, 12, QStringLiteral("x"),
         QStringLiteral("\"/opt/mirelo/mp.dll\" -ss 0 -wid 12") + kOptions +
             QStringLiteral("\"x\"")},
        {"an address", std::nullopt, 7, QStringLiteral("http://127.0.0.1:8080/v?id=1&fmt=5"),
         QStringLiteral("\"/opt/mirelo/mp.dll\" -wid 7") + kOptions +
             QStringLiteral("\"http://127.0.0.1:8080/v?id=1&fmt=5\"")},
    };
    for (const TextCase& c : cases) {
        const PlayerCommand command = buildPlayerCommand(player, c.window, c.media, c.offset);
        EXPECT_EQ(command.text, c.expected) << c.name;
        EXPECT_EQ(command.program, player) << c.name;
    }
}

TEST(PlayerCommand, ArgumentVectorKeepsAnyPathWhole) {
    const QStringList paths = {QStringLiteral("/v/with blanks/a \"q\" b.avi"),
                               QStringLiteral("-starts-with-dash.avi"),
                               QStringLiteral("/v/Überraschung é.mkv")};
    for (const QString& path : paths) {
        const PlayerCommand command = buildPlayerCommand(QStringLiteral("mplayer"), 99, path, 5);
        const QStringList expected = {QStringLiteral("-ss"),        QStringLiteral("5"),
                                      QStringLiteral("-wid"),       QStringLiteral("99"),
                                      QStringLiteral("-priority"),  QStringLiteral("abovenormal"),
                                      QStringLiteral("-framedrop"), QStringLiteral("-colorkey"),
                                      QStringLiteral("0"),          QStringLiteral("-nokeepaspect"),
                                      QStringLiteral("-framedrop"), QStringLiteral("-autosync"),
                                      QStringLiteral("100"),        QStringLiteral("-vf"),
                                      QStringLiteral("screenshot"), path};
        EXPECT_EQ(command.arguments, expected) << path.toStdString();
    }
}

// Rows as the player prints them, with a prefix row and a name cut at 20 characters.
const char* const kRecordedList = R"(
 Name                 Type            Min        Max      Global  CL    Cfg

 ss                   Time            No         No         No    Yes   Yes
 autosync             Integer         0          10000      No    Yes   Yes
 framedrop            Flag            No         No         No    Yes   Yes
 nokeepaspect         Flag            No         No         No    Yes   Yes
 wid                  Integer64       No         No         No    Yes   Yes
 colorkey             Integer         No         No         No    Yes   Yes
 vf*                  Object settings No         No         No    Yes   Yes
 input:default-bindin Flag            No         No         Yes   Yes   Yes

Total: 8 options
MPlayer UNKNOWN-12 (C) 2000-2023 MPlayer Team
)";

TEST(PlayerOptions, ListParsingAndMatching) {
    const QSet<QString> known = parsePlayerOptionList(QLatin1String(kRecordedList));
    EXPECT_EQ(known.size(), 8);
    struct Case {
        const char* option;
        bool accepted;
    } cases[] = {
        {"ss", true},        {"wid", true},
        {"vf", true},        {"vf-add", true},
        {"priority", false}, {"Name", false},
        {"Total:", false},   {"input:default-bindings", true},
        {"v", false},        {"colorkeys", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(playerAcceptsOption(known, QLatin1String(c.option)), c.accepted) << c.option;
}

TEST(PlayerOptions, UnknownOptionsLeaveTheVectorWithTheirValues) {
    const QSet<QString> known = parsePlayerOptionList(QLatin1String(kRecordedList));
    const PlayerCommand command =
        buildPlayerCommand(QStringLiteral("mplayer"), 5, QStringLiteral("-priority"), 3);
    const QStringList kept = compatiblePlayerArguments(command.arguments, known);
    const QStringList expected = {
        QStringLiteral("-ss"),        QStringLiteral("3"),
        QStringLiteral("-wid"),       QStringLiteral("5"),
        QStringLiteral("-framedrop"), QStringLiteral("-colorkey"),
        QStringLiteral("0"),          QStringLiteral("-nokeepaspect"),
        QStringLiteral("-framedrop"), QStringLiteral("-autosync"),
        QStringLiteral("100"),        QStringLiteral("-vf"),
        QStringLiteral("screenshot"), QStringLiteral("-priority")}; // the media path stays
    EXPECT_EQ(kept, expected);

    QSet<QString> withPriority = known;
    withPriority.insert(QStringLiteral("priority"));
    EXPECT_EQ(compatiblePlayerArguments(command.arguments, withPriority), command.arguments);
}

TEST(PlayerOptions, InstalledPlayerIsAskedOnceAndItsAnswerKept) {
    const QString player = locatePlayer();
    ASSERT_FALSE(player.isEmpty()) << "mplayer is needed for this test";
    PlayerCapabilityLoader loader;
    QSignalSpy loaded(&loader, &PlayerCapabilityLoader::loaded);
    loader.start(player);
    ASSERT_TRUE(loaded.wait(30000));
    const QSet<QString>* options = cachedPlayerOptions(player);
    ASSERT_NE(options, nullptr);
    for (const char* needed :
         {"ss", "wid", "framedrop", "colorkey", "nokeepaspect", "autosync", "vf"})
        EXPECT_TRUE(playerAcceptsOption(*options, QLatin1String(needed))) << needed;

    // Whatever the build, the vector that runs holds only options it accepts.
    const PlayerCommand command = buildPlayerCommand(player, 1, QStringLiteral("a.avi"));
    const QStringList kept = compatiblePlayerArguments(command.arguments, *options);
    EXPECT_EQ(kept.contains(QStringLiteral("-priority")),
              playerAcceptsOption(*options, QStringLiteral("priority")));
    EXPECT_EQ(kept.contains(QStringLiteral("abovenormal")),
              playerAcceptsOption(*options, QStringLiteral("priority")));
}

TEST(PlayerOptions, MissingProgramFails) {
    PlayerCapabilityLoader loader;
    QSignalSpy failed(&loader, &PlayerCapabilityLoader::failed);
    loader.start(QStringLiteral("/nonexistent/folder/mp.dll"));
    ASSERT_TRUE(failed.count() == 1 || failed.wait(10000));
    EXPECT_TRUE(
        failed.at(0).at(0).toString().contains(QLatin1String("/nonexistent/folder/mp.dll")));
    EXPECT_EQ(cachedPlayerOptions(QStringLiteral("/nonexistent/folder/mp.dll")), nullptr);
}

} // namespace
