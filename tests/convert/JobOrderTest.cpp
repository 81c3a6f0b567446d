#include "convert/JobOrder.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

JobOrder sampleJob() {
    JobOrder job;
    job.source.path = "/films/a b.mkv";
    job.source.length = 125.5;
    job.profile = 94;
    job.options.set("Video Options", "Video Bitrate", "1200");
    job.options.set("Audio Options", "Audio Codec", "aac");
    job.clipStart = 5;
    job.clipEnd = 65;
    job.outputFolder = "/out";
    return job;
}

// A job survives its JSON exactly, whatever it holds; JSON that is not a job is refused with why.
TEST(JobOrderTest, ReadsBackExactlyWhatItWrote) {
    std::vector<JobOrder> jobs(5, sampleJob());
    jobs[1].source.length.reset();
    jobs[1].clipEnd.reset();
    jobs[2].source.byteName = QByteArray("/films/caf\xe9.avi");
    jobs[2].source.path = "/tmp/links/1.avi";
    jobs[3].overwrite = true;
    jobs[3].options = SheetValues();
    jobs[4].clipStart = 0;
    jobs[4].clipEnd = 0;
    for (const JobOrder& job : jobs) {
        const QByteArray text = QJsonDocument(job.toJson()).toJson();
        SCOPED_TRACE(text.toStdString());
        QString error;
        const std::optional<JobOrder> back =
            JobOrder::fromJson(QJsonDocument::fromJson(text).object(), &error);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(*back, job);
        EXPECT_EQ(back->toJson(), job.toJson());
    }
    EXPECT_FALSE(jobs[0] == jobs[3]) << "the policy is part of the job";
}

TEST(JobOrderTest, RefusesWhatIsNotAJob) {
    const QJsonObject good = sampleJob().toJson();
    const struct {
        const char* key;
        QJsonValue value;
        const char* why;
    } cases[] = {
        {"format", 2, "format"},
        {"profile", 0, "profile"},
        {"profile", 9.5, "profile"},
        {"profile", "9", "profile"},
        {"existing", "replace", "existing"},
        {"output_folder", 3, "output folder"},
        {"options", QJsonObject{{"Video Options", "x"}}, "Video Options"},
        {"options", QJsonObject{{"Video Options", QJsonObject{{"Video Bitrate", 5}}}},
         "Video Bitrate"},
        {"source", QJsonObject{{"length", 3}}, "source"},
        {"source", QJsonObject{{"path", "/a"}, {"length", -1}}, "source"},
        {"source", QJsonObject{{"path", "/a"}, {"length", 1}, {"byte_name", "zz"}}, "byte name"},
        {"clip", QJsonObject{{"start", -1}, {"end", QJsonValue::Null}}, "clip"},
        {"clip", QJsonObject{{"start", 1.5}, {"end", QJsonValue::Null}}, "clip"},
        {"clip", QJsonObject{{"start", 0}}, "clip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        QJsonObject bad = good;
        bad.insert(QLatin1String(c.key), c.value);
        QString error;
        EXPECT_FALSE(JobOrder::fromJson(bad, &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.why))) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(JobOrder::fromJson(good, &error)) << error.toStdString();
}

} // namespace
} // namespace mirelo
