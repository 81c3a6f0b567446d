#pragma once

#include "onlineimport/StreamPreviewPlayer.h"

#include <QPointer>
#include <QWidget>

namespace mirelo {

class PreviewPlayer;

// The import window's preview panel on the product's embedded player: the stream address given
// as the variable "file" plays inside the panel's surface. This player needs no movie file and
// always fills the surface, so the movie path and the window mode are not used.
class EmbeddedStreamPlayer : public StreamPreviewPlayer {
public:
    EmbeddedStreamPlayer(PreviewPlayer& player, QWidget* surface);
    // Quits the player this panel started, so none outlives the window.
    ~EmbeddedStreamPlayer() override;

    void setMovie(const QString&) override {}
    void setVariable(const QString& name, const QString& value) override;
    void play() override;
    void setToolTipText(const QString& text) override;
    void setWindowMode(const QString&) override {}

    // The stream address it plays.
    QString address() const { return m_address; }

private:
    PreviewPlayer& m_player;
    QPointer<QWidget> m_surface;
    QString m_address;
    bool m_started = false;
};

} // namespace mirelo
