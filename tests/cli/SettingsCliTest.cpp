#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo::test;

namespace {

// A portable copy of mirelo-cli, so `settings` works on the settings.dat beside it.
class SettingsCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(app));
        ASSERT_TRUE(QFile::copy(QStringLiteral(MIRELO_CLI_PATH), cli));
    }

    CliResult run(const QStringList& args) {
        return runProgram(cli, args, QProcessEnvironment::systemEnvironment());
    }

    QTemporaryDir dir;
    QString app = dir.filePath(QStringLiteral("app"));
    QString cli = app + QStringLiteral("/mirelo-cli");
    QString settings = app + QStringLiteral("/settings.dat");
};

// Each step runs on the file the steps before it left. A refused value names the key and the
// value and leaves the file as it was; other keys and comments keep their bytes.
TEST_F(SettingsCli, SetStoresTheDeclaredFormAndRefusesOtherValues) {
    writeFile(settings, "; mine\n[Set]\nprofile=76\n");
    const struct {
        QStringList args;
        int exitCode;
        const char* errorNames; // in stderr; nullptr: stderr is empty
        QByteArray fileAfter;
    } steps[] = {
        {{"set", "existedfile", "1"}, 0, nullptr, "; mine\n[Set]\nprofile=76\nexistedfile=1\n"},
        {{"set", "jobs", " AUTO "},
         0,
         nullptr,
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "jobs", "zero"},
         2,
         "jobs cannot take \"zero\"",
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "existedfile", "overwrite"},
         2,
         "existedfile cannot take \"overwrite\"",
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "profile", "12abc"},
         2,
         "profile cannot take \"12abc\"",
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "colour", "red"},
         2,
         "no setting \"colour\"",
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "jobs"},
         2,
         "set KEY VALUE",
         "; mine\n[Set]\nprofile=76\nexistedfile=1\njobs=auto\n"},
        {{"set", "PROFILE", "18"},
         0,
         nullptr,
         "; mine\n[Set]\nprofile=18\nexistedfile=1\njobs=auto\n"},
        {{"unset", "jobs"}, 0, nullptr, "; mine\n[Set]\nprofile=18\nexistedfile=1\njobs=\n"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args.join(' ').toStdString());
        const CliResult r = run(QStringList{"settings"} + step.args);
        EXPECT_EQ(r.exitCode, step.exitCode) << r.err.toStdString();
        if (step.errorNames)
            EXPECT_TRUE(r.err.contains(QLatin1String(step.errorNames))) << r.err.toStdString();
        else
            EXPECT_EQ(r.err, "");
        EXPECT_EQ(readFile(settings), step.fileAfter);
    }
}

// The list shows what the program reads: unreadable text as the default, every declared key.
TEST_F(SettingsCli, ListShowsEverySettingAsItReads) {
    writeFile(settings, "[set]\nexistedfile=2\nautoshut=1\njobs=auto\nprofile=12abc\nytdlp= /y \n");
    const CliResult r = run({"settings", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(doc["file"].toString(), settings);
    QStringList keys;
    QMap<QString, QJsonObject> byKey;
    for (const auto& value : doc["settings"].toArray()) {
        const QJsonObject row = value.toObject();
        keys << row["key"].toString();
        byKey[keys.last()] = row;
        EXPECT_FALSE(row["description"].toString().isEmpty()) << keys.last().toStdString();
    }
    EXPECT_EQ(keys,
              QStringList({"outputfolder", "existedfile", "autoshut", "profile", "jobs", "ytdlp"}));
    const struct {
        const char* key;
        QString value;
        QString byDefault;
    } expected[] = {
        {"outputfolder", app, app}, {"existedfile", "0", "0"}, {"autoshut", "1", "0"},
        {"profile", "12", "0"},     {"jobs", "auto", "1"},     {"ytdlp", "/y", ""},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(byKey[QLatin1String(e.key)]["value"].toString(), e.value) << e.key;
        EXPECT_EQ(byKey[QLatin1String(e.key)]["default"].toString(), e.byDefault) << e.key;
    }
    const CliResult text = run({"settings"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("jobs = auto   (default: 1)")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(settings)) << text.out.toStdString();
}

} // namespace
