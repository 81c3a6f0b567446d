#pragma once

#include <QString>

namespace mirelo {

// The folder of the running executable: where the product's shipped files live.
QString applicationFolder();

// Where the product's shipped files (skins, help, icons, loading.jpg) are: the application folder
// of a portable or build-tree copy, else <prefix>/share/mirelo-video-converter of an installed one.
QString resourceFolder();

// Where the product writes its own files (settings, cache, downloads): the application folder when
// it is writable, else ~/.local/share/mirelo-video-converter (created on demand).
QString writableFolder();

// The external programs the product drives. A copy shipped in the application folder under its
// historical name wins; otherwise the program is looked up on PATH. Empty when neither exists.
QString locateEncoder(); // fp.dll, else ffmpeg
QString locatePlayer();  // mp.dll, else mplayer

// The name shown to the user when a program is missing ("ffmpeg", "mplayer").
QString encoderDisplayName();
QString playerDisplayName();

} // namespace mirelo
