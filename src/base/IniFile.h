#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace mirelo {

// The settings file's INI store: one key at a time, by file path, section and key.
// Section and key names compare without regard to case. The file is kept as lines of bytes: a
// write replaces only the line of the key written (or adds lines), and every other byte of the
// file is written back as it was read, whatever its encoding.
//
// Only a regular file of at most kLargestSettingsFile bytes is read. Anything else (a FIFO, a
// device, a folder, a larger file, one that cannot be opened) reads as all keys missing, is
// reported once through the problem reporter, and is never written.

inline constexpr qint64 kLargestSettingsFile = 1024 * 1024;

// Stores the value and saves the file atomically (a reader sees the old file or the new one,
// never half of it). Creates the file, the section and the key as needed, and the file's folder.
// A value holding a line break is refused, as is a section or key name or a value that could not
// be read back as the same text. Returns false when nothing was stored; the file is then unchanged.
bool writeIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value);

// The key's value with leading and trailing blanks removed. A missing file, section or key, or a
// file that is not read (see above), reads as empty text. Bytes that are not UTF-8 come back as
// escapes (see decodeSettingsText), so writing the value back stores the same bytes.
QString readIniValue(const QString& file, const QString& section, const QString& key);

// The same two on the file's content in memory. iniWithValue returns nullopt where
// writeIniValue would refuse.
QString iniValueIn(const QByteArray& content, const QString& section, const QString& key);
std::optional<QByteArray> iniWithValue(const QByteArray& content, const QString& section,
                                       const QString& key, const QString& value);

// Text of the file's bytes: UTF-8 decoded, and each byte that is not part of valid UTF-8 kept as
// the unpaired surrogate U+DC80..U+DCFF, so no byte is lost or turned into another character.
QString decodeSettingsText(const QByteArray& bytes);
// The bytes such a text stands for: the one way back from decodeSettingsText, and what a path read
// from the file names on the file system. nullopt for text holding any other unpaired surrogate.
std::optional<QByteArray> encodeSettingsText(const QString& text);
// The text with each kept byte written as "\xHH", for messages.
QString printableSettingsText(const QString& text);

// True when Qt's file functions (and the argument vectors of child programs) would carry the
// path to the file system as the bytes it stands for. A path holding kept non-UTF-8 bytes is
// not: Qt would turn them into U+FFFD and name another file, so such a path must be refused.
bool pathReachesFileSystemIntact(const QString& path);

// Receives the message (naming the file) when a settings file is not read. Each file and
// reason is reported once per process. The default writes a warning to the Qt log.
using IniProblemReporter = std::function<void(const QString& message)>;
void setIniProblemReporter(IniProblemReporter reporter);

} // namespace mirelo
