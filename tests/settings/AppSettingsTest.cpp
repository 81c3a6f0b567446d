#include "settings/AppSettings.h"
#include "base/CoreCount.h"
#include "base/IniFile.h"
#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace mirelo;

namespace {

class Settings : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("settings.dat"));
    // A portable copy's folder: one the program can write.
    QString appFolder = dir.path();
    AppSettings settings{file, appFolder};

    void store(const char* key, const QString& value) {
        ASSERT_TRUE(writeIniValue(file, QStringLiteral("set"), QLatin1String(key), value));
    }
};

} // namespace

TEST_F(Settings, MissingFileGivesTheDefaults) {
    EXPECT_EQ(settings.storedOutputFolder(), "");
    EXPECT_EQ(settings.outputFolder(), appFolder);
    EXPECT_EQ(settings.existingFilePolicy(), AppSettings::ExistingFile::AddNew);
    EXPECT_FALSE(settings.autoShut());
    EXPECT_EQ(settings.profile(), 0);
    const RunSettings run = settings.runSettings();
    EXPECT_EQ(run.outputFolder, appFolder);
    EXPECT_EQ(run.existingFile, ExistingFilePolicy::AddNew);
    EXPECT_FALSE(run.shutDown);
    EXPECT_FALSE(QFile::exists(file));
}

// "1" is yes; every other text is no, so that a value the product never writes keeps files and
// never shuts the computer down.
TEST_F(Settings, StoredTextsMeanWhatTheDialogShows) {
    using EF = AppSettings::ExistingFile;
    const struct {
        const char* stored;
        EF policy;
        bool autoShut;
        int profile;
    } cases[] = {
        {"1", EF::Overwrite, true, 1}, {"0", EF::AddNew, false, 0},
        {"2", EF::AddNew, false, 2},   {"abc", EF::AddNew, false, 0},
        {"", EF::AddNew, false, 0},    {" 1 ", EF::Overwrite, true, 1},
        {"76", EF::AddNew, false, 76}, {"12abc", EF::AddNew, false, 12},
        {"01", EF::AddNew, false, 1},  {"-1", EF::AddNew, false, 0},
    };
    for (const auto& c : cases) {
        store("existedfile", QLatin1String(c.stored));
        store("autoshut", QLatin1String(c.stored));
        store("profile", QLatin1String(c.stored));
        EXPECT_EQ(settings.existingFilePolicy(), c.policy) << c.stored;
        EXPECT_EQ(settings.autoShut(), c.autoShut) << c.stored;
        EXPECT_EQ(settings.profile(), c.profile) << c.stored;
        const RunSettings run = settings.runSettings();
        EXPECT_EQ(run.existingFile, c.policy) << c.stored;
        EXPECT_EQ(run.shutDown, c.autoShut) << c.stored;
    }
}

TEST_F(Settings, EveryReadSeesTheFileAsItIsNow) {
    store("outputfolder", QStringLiteral("/first"));
    EXPECT_EQ(settings.outputFolder(), "/first");
    // Another writer (the dialog, mirelo-cli) changes the file behind this object's back.
    AppSettings other(file, QStringLiteral("/elsewhere"));
    ASSERT_TRUE(other.setOutputFolder(QStringLiteral("  /second  ")));
    EXPECT_EQ(settings.outputFolder(), "/second");
}

TEST_F(Settings, WritesUseTheFileFormat) {
    ASSERT_TRUE(settings.setOutputFolder(QStringLiteral("/out")));
    ASSERT_TRUE(settings.setExistingFilePolicy(AppSettings::ExistingFile::Overwrite));
    ASSERT_TRUE(settings.setAutoShut(false));
    ASSERT_TRUE(settings.setProfile(76));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // The profile is written under "Set", which is the same section as "set".
    EXPECT_EQ(f.readAll(), "[set]\noutputfolder=/out\nexistedfile=1\nautoshut=0\nprofile=76\n");
    EXPECT_EQ(settings.profile(), 76);
}

TEST_F(Settings, ProfileWrittenFirstCreatesSectionSet) {
    ASSERT_TRUE(settings.setProfile(20));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[Set]\nprofile=20\n");
    EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "20");
}

// An installed copy's folder cannot take the outputs: they go to the user's Videos folder, and
// a stored folder always wins.
TEST_F(Settings, OutputsGoToVideosWhenTheApplicationFolderCannotBeWritten) {
    QFile plain(dir.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    ASSERT_FALSE(videos.isEmpty());
    const struct {
        QString appFolder;
        QString stored;
        QString expected;
    } cases[] = {
        {appFolder, {}, appFolder},
        {dir.filePath(QStringLiteral("missing")), {}, videos},
        {plain.fileName(), {}, videos},
        {dir.filePath(QStringLiteral("missing")), QStringLiteral("/chosen"),
         QStringLiteral("/chosen")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appFolder.toStdString());
        AppSettings s(file, c.appFolder);
        ASSERT_TRUE(s.setOutputFolder(c.stored));
        EXPECT_EQ(s.outputFolder(), c.expected);
        EXPECT_EQ(s.runSettings().outputFolder, c.expected);
    }
}

TEST(SettingsLocation, ApplicationFolderWhenWritableElseUserConfig) {
    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("app"));
    const QString config = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(app));
    EXPECT_EQ(settingsFilePath(app, config), QDir(app).filePath(QStringLiteral("settings.dat")));
    EXPECT_EQ(settingsFilePath(dir.filePath(QStringLiteral("missing")), config),
              QDir(config).filePath(QStringLiteral("settings.dat")));

    ASSERT_TRUE(QFile::setPermissions(app, QFile::ReadOwner | QFile::ExeOwner));
    const bool rootIgnoresModes = access(app.toLocal8Bit().constData(), W_OK) == 0;
    if (!rootIgnoresModes) {
        EXPECT_EQ(settingsFilePath(app, config),
                  QDir(config).filePath(QStringLiteral("settings.dat")));
    }
    QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (rootIgnoresModes)
        GTEST_SKIP() << "running as root: a read-only folder cannot be made here";
}

// "jobs": a number up to the cores or "auto"; whatever else is stored converts one file at a time.
TEST_F(Settings, JobsReadAsANumberUpToTheCoresOrAuto) {
    const int cores = coreCount();
    const struct {
        const char* stored; // nullptr: no key
        bool automatic;
        int count;
    } cases[] = {
        {nullptr, false, 1},   {"1", false, 1},   {" 1 ", false, 1},        {"auto", true, cores},
        {"AUTO", true, cores}, {"0", false, 1},   {"-2", false, 1},         {"two", false, 1},
        {"", false, 1},        {"1.5", false, 1}, {"100000", false, cores}, {"2x", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "no key");
        QFile::remove(file);
        if (c.stored)
            store("jobs", QLatin1String(c.stored));
        const SimultaneousJobs jobs = settings.jobs();
        EXPECT_EQ(jobs.automatic, c.automatic);
        EXPECT_EQ(jobs.count, c.count);
        EXPECT_EQ(settings.runSettings().jobs, jobs);
    }
    for (const SimultaneousJobs written : {SimultaneousJobs{true, cores}, SimultaneousJobs{}}) {
        ASSERT_TRUE(settings.setJobs(written));
        EXPECT_EQ(settings.jobs(), written);
    }
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("\njobs=1\n"));
}

// Every declaration: what stored text reads as, and the stored form of the same text given to
// `settings set` (nullptr: refused). Text the product never wrote still reads as it always did.
TEST_F(Settings, EveryDeclarationReadsStoredTextAndStoresWhatItReads) {
    const QByteArray cores = QByteArray::number(coreCount());
    const struct {
        const char* key;
        const char* stored;
        QByteArray readsAs;
        const char* storedForm;
    } cases[] = {
        {"outputfolder", "", appFolder.toUtf8(), ""},
        {"outputfolder", "  /srv/out dir ", "/srv/out dir", "/srv/out dir"},
        {"existedfile", "1", "1", "1"},
        {"existedfile", " 1 ", "1", "1"},
        {"existedfile", "0", "0", "0"},
        {"existedfile", "2", "0", nullptr},
        {"existedfile", "01", "0", nullptr},
        {"existedfile", "overwrite", "0", nullptr},
        {"autoshut", "1", "1", "1"},
        {"autoshut", "yes", "0", nullptr},
        {"autoshut", "", "0", ""},
        {"profile", "76", "76", "76"},
        {"profile", "01", "1", "1"},
        {"profile", "113", "113", "113"},
        {"profile", "114", "114", nullptr},
        {"profile", "12abc", "12", nullptr},
        {"profile", "-1", "0", nullptr},
        {"profile", "+5", "0", nullptr},
        {"jobs", "auto", "auto", "auto"},
        {"jobs", "AUTO", "auto", "auto"},
        {"jobs", "1", "1", "1"},
        {"jobs", "100000", cores, cores.constData()},
        {"jobs", "0", "1", nullptr},
        {"jobs", "2x", "1", nullptr},
        {"ytdlp", " /opt/yt-dlp ", "/opt/yt-dlp", "/opt/yt-dlp"},
        {"ytdlp", "", "", ""},
    };
    QSet<QString> covered;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        const SettingInfo* info = findSetting(QString::fromLatin1(c.key).toUpper());
        ASSERT_NE(info, nullptr);
        covered << info->key();
        store(c.key, QLatin1String(c.stored));
        EXPECT_EQ(info->valueText(settings.storedText(*info), appFolder).toUtf8(), c.readsAs);
        const std::optional<QString> form = info->storedForm(QLatin1String(c.stored));
        ASSERT_EQ(form.has_value(), c.storedForm != nullptr);
        if (!form)
            continue;
        EXPECT_EQ(*form, QLatin1String(c.storedForm));
        ASSERT_TRUE(settings.storeText(*info, *form));
        EXPECT_EQ(info->valueText(settings.storedText(*info), appFolder).toUtf8(), c.readsAs);
    }
    for (const SettingInfo* info : allSettings())
        EXPECT_TRUE(covered.contains(info->key())) << "no cases for " << info->key().data();
    EXPECT_EQ(covered.size(), qsizetype(allSettings().size()));
}
