#include "onlineimport/ui/EmbeddedStreamPlayer.h"

#include "player/PlayerKeys.h"
#include "player/PreviewPlayer.h"

namespace mirelo {

EmbeddedStreamPlayer::EmbeddedStreamPlayer(PreviewPlayer& player, QWidget* surface)
    : m_player(player), m_surface(surface) {}

EmbeddedStreamPlayer::~EmbeddedStreamPlayer() {
    if (m_started)
        PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
}

void EmbeddedStreamPlayer::setVariable(const QString& name, const QString& value) {
    if (name == QLatin1String("file"))
        m_address = value;
}

void EmbeddedStreamPlayer::play() {
    if (!m_surface || m_address.isEmpty())
        return;
    m_surface->setAttribute(Qt::WA_NativeWindow);
    m_player.start(m_surface->winId(), m_address);
    m_started = true;
}

void EmbeddedStreamPlayer::setToolTipText(const QString& text) {
    if (m_surface)
        m_surface->setToolTip(text);
}

} // namespace mirelo
