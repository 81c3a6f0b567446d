#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace mirelo {

// A small file the product keeps for itself (settings, caches), read so that nothing lying under
// its name can hold or flood the reader: opened without blocking (a FIFO would wait for a writer),
// checked on the open descriptor (so what is checked is what is read), refused unless it is a
// regular file of at most `largest` bytes, and read no further than one byte past that limit.
struct SmallFileRead {
    std::optional<QByteArray> bytes; // nullopt when the file was not read
    bool missing = false;            // there is no file of that name
    QString
        problem; // when neither read nor missing: "is not a regular file", "is larger than 4 MB"
};

SmallFileRead readSmallRegularFile(const QString& path, qint64 largest);

// Makes room for a fresh file at `path`: whatever is there that is not a regular file (a link, a
// FIFO, a device node) is removed, so writing the file never writes through it. False when such
// a thing is there and cannot be removed; a folder is never removed.
bool clearNonRegularFile(const QString& path);

} // namespace mirelo
