#pragma once

#include <QString>
#include <QStringList>

namespace mirelo {

// The yt-dlp program to run: `configured` (the settings' choice) when given, else the one on
// PATH. Empty, with the reason and how to get it in *error, when there is none that can run.
QString locateYtDlp(const QString& configured, QString* error);

// Options every run gets: the user's yt-dlp configuration files could move or rename the output,
// and the product reads one video, not a playlist.
QStringList ytDlpCommonArguments();

// Whether an address goes to yt-dlp at all: http and https only.
bool isWebAddress(const QString& url);

} // namespace mirelo
