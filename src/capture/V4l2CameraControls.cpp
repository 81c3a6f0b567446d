#include "capture/CameraControls.h"

#include <QFile>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>

namespace mirelo {

namespace {

// V4L2 control of each camera control index; 0 where V4L2 defines none (roll).
constexpr std::array<quint32, CameraControlCount> kV4l2ControlIds = {
    V4L2_CID_PAN_ABSOLUTE, V4L2_CID_TILT_ABSOLUTE, 0, V4L2_CID_ZOOM_ABSOLUTE};

quint32 controlId(int control) {
    return control >= 0 && control < CameraControlCount ? kV4l2ControlIds[size_t(control)] : 0;
}

} // namespace

V4l2CameraControls::~V4l2CameraControls() {
    close();
}

void V4l2CameraControls::open(const QString& controlPath) {
    close();
    if (!controlPath.isEmpty())
        m_fd = ::open(QFile::encodeName(controlPath).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

void V4l2CameraControls::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<ControlRange> V4l2CameraControls::range(int control) const {
    const quint32 id = controlId(control);
    if (m_fd < 0 || id == 0)
        return std::nullopt;
    v4l2_queryctrl query{};
    query.id = id;
    if (::ioctl(m_fd, VIDIOC_QUERYCTRL, &query) != 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED))
        return std::nullopt;
    return ControlRange{query.minimum, query.maximum, query.step, query.default_value};
}

std::optional<int> V4l2CameraControls::value(int control) const {
    const quint32 id = controlId(control);
    if (m_fd < 0 || id == 0)
        return std::nullopt;
    v4l2_control c{};
    c.id = id;
    if (::ioctl(m_fd, VIDIOC_G_CTRL, &c) != 0)
        return std::nullopt;
    return c.value;
}

bool V4l2CameraControls::setValue(int control, int value) {
    const quint32 id = controlId(control);
    if (m_fd < 0 || id == 0)
        return false;
    v4l2_control c{};
    c.id = id;
    c.value = value;
    return ::ioctl(m_fd, VIDIOC_S_CTRL, &c) == 0;
}

} // namespace mirelo
