#pragma once

#include <QString>

#include <optional>

namespace mirelo {

// The four camera controls of the capture window, by index.
enum CameraControl { Pan = 0, Tilt = 1, Roll = 2, Zoom = 3, CameraControlCount = 4 };

struct ControlRange {
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
};

// Camera controls of the connected device. An interface so that tests, on a machine without a
// camera, can drive the window with made-up ranges.
class CameraControls {
public:
    virtual ~CameraControls() = default;
    // Switches to the device's control node; an empty path means a device without controls.
    virtual void open(const QString& controlPath) = 0;
    virtual void close() = 0;
    // nullopt when the device lacks the control (or no device is open).
    virtual std::optional<ControlRange> range(int control) const = 0;
    virtual std::optional<int> value(int control) const = 0;
    virtual bool setValue(int control, int value) = 0;
};

// The controls of a V4L2 node (absolute pan, tilt and zoom; V4L2 has no roll control).
class V4l2CameraControls : public CameraControls {
public:
    V4l2CameraControls() = default;
    ~V4l2CameraControls() override;
    V4l2CameraControls(const V4l2CameraControls&) = delete;
    V4l2CameraControls& operator=(const V4l2CameraControls&) = delete;

    void open(const QString& controlPath) override;
    void close() override;
    std::optional<ControlRange> range(int control) const override;
    std::optional<int> value(int control) const override;
    bool setValue(int control, int value) override;

private:
    int m_fd = -1;
};

} // namespace mirelo
