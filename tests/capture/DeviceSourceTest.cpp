#include "capture/SystemDeviceSource.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

using test::readFile;
using test::writeFile;

// A firewire sysfs folder: the computer's own controller and the given camcorders.
void makeFirewireFolder(const QString& root, const QStringList& cameraGuids) {
    writeFile(root + "/fw0/units", "");
    writeFile(root + "/fw0/guid", "0x0011060000001234\n");
    for (int i = 0; i < cameraGuids.size(); ++i) {
        const QString node = QStringLiteral("%1/fw%2").arg(root).arg(i + 1);
        writeFile(node + "/units", "0x00a02d:0x010001\n");
        writeFile(node + "/guid", cameraGuids[i].toUtf8() + "\n");
        if (i == 0)
            writeFile(node + "/model_name", "DCR-TRV900\n");
    }
}

TEST(V4l2Devices, NodesThatAreNotCaptureDevicesAreLeftOut) {
    QTemporaryDir dev;
    writeFile(dev.filePath("video0"), "not a device");
    writeFile(dev.filePath("video12"), "");
    EXPECT_TRUE(listV4l2Devices(dev.path()).isEmpty());
    EXPECT_TRUE(listV4l2Devices(dev.filePath("missing")).isEmpty());
}

TEST(FirewireDevices, DvCamcordersByModelAndGuid) {
    struct Case {
        QStringList guids;
        QStringList names;
        QList<QStringList> inputs;
    };
    const QStringList automatic{"-f", "iec61883", "-i", "auto"};
    const auto byGuid = [](const char* guid) {
        return QStringList{"-f", "iec61883", "-dvguid", guid, "-i", "auto"};
    };
    const Case cases[] = {
        {{}, {}, {}},
        {{"0x0800460104ab0001"}, {"DCR-TRV900 (DV)"}, {automatic}},
        {{"0x0800460104ab0001", "0x0800460104ab0002"},
         {"DCR-TRV900 (DV)", "FireWire DV camera"},
         {byGuid("0x0800460104ab0001"), byGuid("0x0800460104ab0002")}},
    };
    for (const Case& c : cases) {
        QTemporaryDir sys;
        makeFirewireFolder(sys.path(), c.guids);
        const QList<CaptureDevice> devices = listFirewireDvUnits(sys.path());
        QStringList names;
        QList<QStringList> inputs;
        for (const CaptureDevice& d : devices) {
            names.append(d.name);
            inputs.append(d.inputArguments);
            EXPECT_TRUE(d.hasAudio);
            EXPECT_TRUE(d.controlPath.isEmpty());
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(inputs, c.inputs);
    }
}

TEST(EncoderDevices, InputDevicesOfTheListing) {
    const QString listing = QStringLiteral("Devices:\n D. = Demuxing supported\n"
                                           " .E = Muxing supported\n --\n"
                                           " DE alsa            ALSA audio output\n"
                                           "  E caca            caca (color ASCII art) output\n"
                                           " D  iec61883        libiec61883 (new DV1394) input\n"
                                           " DE video4linux2,v4l2 Video4Linux2 output device\n");
    struct Case {
        const char* name;
        bool offered;
    };
    const Case cases[] = {{"iec61883", true}, {"v4l2", true},  {"video4linux2", true},
                          {"alsa", true},     {"caca", false}, {"lavfi", false}};
    for (const Case& c : cases)
        EXPECT_EQ(encoderOffersInputDevice(listing, c.name), c.offered) << c.name;
}

TEST(SystemDevices, DvCameraAppearsOnceTheEncoderOffersIec61883) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    ASSERT_FALSE(ffmpeg.isEmpty());
    QTemporaryDir dev, sys;
    makeFirewireFolder(sys.path(), {"0x0800460104ab0001"});
    SystemDeviceSource source(ffmpeg, nullptr, dev.path(), sys.path());
    QSignalSpy changed(&source, &DeviceSource::devicesChanged);
    EXPECT_TRUE(source.devices().isEmpty());
    ASSERT_TRUE(changed.wait(30000)); // Debian's ffmpeg has the iec61883 input
    ASSERT_EQ(source.devices().size(), 1);
    EXPECT_EQ(source.devices().first().name, "DCR-TRV900 (DV)");
}

TEST(SystemDevices, NoDvWithoutAnEncoder) {
    QTemporaryDir dev, sys;
    makeFirewireFolder(sys.path(), {"0x0800460104ab0001"});
    SystemDeviceSource source(QString(), nullptr, dev.path(), sys.path());
    EXPECT_TRUE(source.devices().isEmpty());
}

} // namespace
