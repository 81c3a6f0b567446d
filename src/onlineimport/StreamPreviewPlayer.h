#pragma once

#include <QString>

namespace mirelo {

// What the import window's preview panel asks of an embedded player: a movie to run, the stream
// address as its variable "file", playing, a tooltip and a window mode. The player draws into the
// panel's surface widget.
class StreamPreviewPlayer {
public:
    virtual ~StreamPreviewPlayer() = default;
    virtual void setMovie(const QString& path) = 0;
    virtual void setVariable(const QString& name, const QString& value) = 0;
    virtual void play() = 0;
    virtual void setToolTipText(const QString& text) = 0;
    virtual void setWindowMode(const QString& mode) = 0;
};

} // namespace mirelo
