#include "common/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using mirelo::test::runCli;

TEST(CliProfiles, JsonListsTheChooserInOrder) {
    const auto r = runCli({"profiles", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 113);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["kind"].toString(), "category");
    EXPECT_EQ(first["text"].toString(), "Apple iPod");
    EXPECT_TRUE(first["extension"].isNull());
    EXPECT_EQ(first["icon"].toInt(), 1);
    const QJsonObject swf = rows[75].toObject();
    EXPECT_EQ(swf["position"].toInt(), 76);
    EXPECT_EQ(swf["kind"].toString(), "profile");
    EXPECT_EQ(swf["extension"].toString(), ".swf");
    EXPECT_TRUE(swf["icon"].isNull());
    // The newer rows come after the older ones, with their own extensions.
    const QJsonObject flac = rows[104].toObject();
    EXPECT_EQ(flac["text"].toString(), "FLAC Lossless Audio(*.flac)");
    EXPECT_EQ(flac["extension"].toString(), ".flac");
    EXPECT_FALSE(rows[99]["note"].toString().isEmpty());
}

TEST(CliSheet, PicksAndSetsApplyInOrder) {
    const auto r = runCli({"sheet", "--pick", "18", "--pick", "29", "--set",
                           "Audio Options/A/V Sync=Default", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonArray categories =
        QJsonDocument::fromJson(r.out.toUtf8()).object()["categories"].toArray();
    ASSERT_EQ(categories.size(), 4);
    QMap<QString, QJsonObject> items;
    for (const auto& c : categories)
        for (const auto& i : c.toObject()["items"].toArray())
            items[c.toObject()["name"].toString() + '/' + i.toObject()["name"].toString()] =
                i.toObject();
    EXPECT_EQ(items["Video Options/Video Codec"]["value"].toString(), "WMV V9");
    EXPECT_EQ(items["Video Options/Video Framerate"]["value"].toString(), "29.97");
    EXPECT_EQ(items["Audio Options/Sample Rate"]["value"].toString(), "24000");
    EXPECT_EQ(items["Audio Options/A/V Sync"]["value"].toString(), "Default");
    EXPECT_EQ(items["General/Item Name"]["kind"].toString(), "text");
    EXPECT_TRUE(items["General/Item Name"]["readOnly"].toBool());
    EXPECT_EQ(items["Video Options/Video Codec"]["list"].toArray().size(), 2);
}

TEST(CliCommand, WorkedExampleAndArgumentVector) {
    const QStringList base{"command",
                           "--profile",
                           "2",
                           "--input",
                           R"(C:\In\a.avi)",
                           "--output",
                           R"(C:\Out\a.mp4)",
                           "--encoder",
                           R"(C:\App\fp.dll)",
                           "--no-preset",
                           "--set",
                           "Video Options/Video Codec=mpeg4",
                           "--set",
                           "Video Options/Video Bitrate=768",
                           "--set",
                           "Video Options/Video Framerate=Auto",
                           "--start",
                           "0:00:10",
                           "--end",
                           "0:01:00"};
    auto r = runCli(base);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        R"("C:\App\fp.dll" -i "C:\In\a.avi" -f mp4 -vcodec mpeg4  -ab 128  -ac 2 -ar 44100 -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "C:\Out\a.mp4")"
        "\n");
    r = runCli(QStringList(base) << "--argv");
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines[0], R"(C:\App\fp.dll)");
    EXPECT_EQ(lines[2], R"(C:\In\a.avi)");
    EXPECT_EQ(lines.last(), R"(C:\Out\a.mp4)");

    // Without --no-preset the profile's own presets apply before the --set values.
    r = runCli({"command", "--profile", "18", "--input", "a b.avi", "--output", "o.mp4",
                "--encoder", "ff"});
    EXPECT_EQ(
        r.out.trimmed(),
        R"("ff" -i "a b.avi" -f psp -vcodec mpeg4  -ab 64  -ac 2 -ar 24000 -b 512k -r 29.97 -ss 0 -t 0 -s 368x208 -acodec libfaac "o.mp4")");
}

TEST(CliCommand, BadInputGetsExitCodesAndMessages) {
    const QStringList io{"--input", "a", "--output", "b", "--encoder", "ff"};
    const struct {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"frobnicate"}, 2, "unknown subcommand"},
        {QStringList{"command", "--profile", "114"} + io, 2, "--profile"},
        {QStringList{"command", "--profile", "x"} + io, 2, "--profile"},
        {QStringList{"command", "--profile", "2", "--bogus"} + io, 2, "--bogus"},
        {QStringList{"command", "--profile", "2", "--set", "Video Options/Nope=1"} + io, 2, "Nope"},
        {QStringList{"command", "--profile", "2", "--set", "no-equals"} + io, 2, "no-equals"},
        {QStringList{"command", "--profile", "2", "--start", "1:2"} + io, 2, "--start"},
        {QStringList{"command", "--profile", "2", "--pick", "0"} + io, 2, "--pick"},
        {{"command", "--profile", "2", "--input", "a"}, 2, "--output"},
        {QStringList{"command", "--profile", "2", "--set", "Audio Options/Audio Bitrate=fast"} + io,
         2, "Audio Bitrate"},
        {QStringList{"command", "--profile", "92", "--set", "Audio Options/Audio Channel=two"} + io,
         2, "Audio Channel"},
    };
    for (const auto& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message)))
            << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}
