#pragma once

#include <QString>

namespace mirelo {

// The settings file's INI store: one key at a time, by file path, section and key.
// Section and key names compare without regard to case. Lines the store does not touch (other
// keys, other sections, comments, blank lines) are written back exactly as they were read.

// Stores the value and saves the file atomically (a reader sees the old file or the new one,
// never half of it). Creates the file, the section and the key as needed, and the file's folder.
// A value holding a line break is refused, as is a section or key name that could not be read
// back as the same name. Returns false when nothing was stored; the file is then unchanged.
bool WriteIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value);

// The key's value with leading and trailing blanks removed. A missing file, section or key, or an
// unreadable file, reads as empty text.
QString ReadIniValue(const QString& file, const QString& section, const QString& key);

} // namespace mirelo
