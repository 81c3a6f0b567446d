#include "onlineimport/ui/EmbeddedStreamPlayer.h"

#include "tools/Module1.h"
#include "tools/PreviewPlayer.h"

namespace mirelo {

EmbeddedStreamPlayer::EmbeddedStreamPlayer(PreviewPlayer& player, QWidget* surface)
    : m_player(player), m_surface(surface) {}

EmbeddedStreamPlayer::~EmbeddedStreamPlayer() {
    if (m_started)
        Module1::SendPlayerKey(m_player, Module1::KeyQuit);
}

void EmbeddedStreamPlayer::setVariable(const QString& name, const QString& value) {
    if (name == QLatin1String("file"))
        m_file = value;
}

void EmbeddedStreamPlayer::play() {
    if (!m_surface || m_file.isEmpty())
        return;
    m_surface->setAttribute(Qt::WA_NativeWindow);
    m_player.start(m_surface->winId(), m_file);
    m_started = true;
}

void EmbeddedStreamPlayer::setToolTipText(const QString& text) {
    if (m_surface)
        m_surface->setToolTip(text);
}

} // namespace mirelo
