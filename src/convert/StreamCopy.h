#pragma once

#include <QString>

namespace mirelo {

struct CatalogRow;
struct SourceStreams;

// What a copy row takes from a source: the streams as encoder options, the output extension,
// or why nothing can be copied.
struct CopySelection {
    QString options; // " -map 0:0 -map 0:1"
    QString extension;
    QString error;
};

// Needs the source's streams only to pick among them; without them the copy rows take every
// stream of a kind and the extracted audio goes to Matroska, which holds any codec.
CopySelection copySelection(const CatalogRow& row, const SourceStreams* streams);

} // namespace mirelo
