#include "player/PlayerKeys.h"

#include "player/PreviewPlayer.h"

namespace mirelo::PlayerKeys {

namespace {

struct KeyBytes {
    int code;
    const char* bytes;
};

// What the player's console input understands: a letter, a blank, the terminal's arrow keys.
constexpr KeyBytes kPlayerKeys[] = {
    {KeyQuit, "q"},
    {KeyPause, " "},
    {KeyBack, "\x1b[D"},
    {KeyForward, "\x1b[C"},
};

} // namespace

QByteArray playerKeyBytes(int keyCode) {
    for (const KeyBytes& key : kPlayerKeys) {
        if (key.code == keyCode)
            return QByteArray(key.bytes);
    }
    return {};
}

bool send(PreviewPlayer& player, int keyCode) {
    const QByteArray bytes = playerKeyBytes(keyCode);
    if (bytes.isEmpty())
        return false;
    return player.sendToPlayer(bytes, keyCode == KeyQuit);
}

bool send(int keyCode) {
    return send(PreviewPlayer::shared(), keyCode);
}

} // namespace mirelo::PlayerKeys
