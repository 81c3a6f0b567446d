#pragma once

#include <QByteArray>

namespace mirelo {

class PreviewPlayer;

// Keys for the preview player. The codes are the ones the product has always used; the player
// reads the key presses from its standard input.
namespace PlayerKeys {

enum PlayerKey : int {
    KeyQuit = 81,    // Q
    KeyPause = 32,   // space: pause / resume
    KeyBack = 37,    // left arrow: seek back
    KeyForward = 39, // right arrow: seek forward
};

// The bytes a key code reaches the player as; empty for a code the player is never sent.
QByteArray playerKeyBytes(int keyCode);

// One key press to the player. Nothing is sent when that player
// no longer runs (or none was started, or the code is not a player key); returns whether it was.
bool send(PreviewPlayer& player, int keyCode);
// The same for the product's shared player.
bool send(int keyCode);

} // namespace PlayerKeys
} // namespace mirelo
