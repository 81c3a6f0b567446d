#pragma once

#include "onlineimport/StreamPreviewPlayer.h"

#include <QPointer>
#include <QWidget>

namespace mirelo {

class PreviewPlayer;

// The import window's preview panel on the product's embedded player: the stream address given
// as the variable "file" plays inside the panel's surface. The movie path and the window mode
// belonged to the old player movie and have no meaning here.
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

    QString file() const { return m_file; }

private:
    PreviewPlayer& m_player;
    QPointer<QWidget> m_surface;
    QString m_file;
    bool m_started = false;
};

} // namespace mirelo
