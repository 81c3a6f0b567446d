#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace mirelo {

struct EncoderCapabilities;
struct EncoderHelp;

// An encoder's lists (EncoderCapabilities) are also kept on disk, stamped with the program's size
// and modification time and the time the system's shared libraries last changed, so a new process
// asks the encoder again only after the program or its libraries have changed.
QString defaultCapabilityFile(); // Cache/encoder-capabilities.json in the writable folder
std::optional<EncoderCapabilities> readStoredCapabilities(const QString& file,
                                                          const QString& program);
bool writeStoredCapabilities(const QString& file, const QString& program,
                             const EncoderCapabilities& capabilities);
// Results kept with a program's stored lists, under the same stamp, by name: a hardware
// encoder's trial ({"works": false, "reason": "..."}). Writing one needs the lists stored first;
// storing the lists again (after the program or its libraries changed) drops them.
QJsonObject readStoredTrials(const QString& file, const QString& program);
bool writeStoredTrial(const QString& file, const QString& program, const QString& name,
                      const QJsonObject& result);
// An encoder's help (see EncoderHelp), kept with the program's stored lists like the trials.
QHash<QString, EncoderHelp> readStoredHelp(const QString& file, const QString& program);
bool writeStoredHelp(const QString& file, const QString& program, const QString& encoder,
                     const EncoderHelp& help);

// What a sound entry holds; the list parsers keep to it too, so that what they read can be
// stored. Names are those of the encoder's lists: no blanks, no leading dash.
inline constexpr qsizetype kLongestListedName = 64;
inline constexpr qsizetype kLongestListedText = 1024;
bool isListedName(const QString& name);

} // namespace mirelo
