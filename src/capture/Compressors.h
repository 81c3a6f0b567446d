#pragma once

#include "convert/EncoderCapabilities.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

// A video encoder of the installed encoder program that can be stored in an AVI file.
struct Compressor {
    QString encoder;      // the encoder's own name, e.g. "mpeg4"
    QString readableName; // its description, e.g. "MPEG-4 part 2"
};

// The AVI-storable ones among the encoder's video encoders, in listing order.
QList<Compressor> aviCompressors(const QList<EncoderListing>& videoEncoders);
// Index of the first name matching "DivX*" (case-sensitive), the capture window's choice.
std::optional<int> firstDivxCompressor(const QStringList& names);

// The encoder options recording with a compressor; without one (nullptr), MPEG-4 Part 2 stored
// with the DIVX tag, which every DivX decoder plays.
QStringList videoCodecArguments(const Compressor* compressor);

} // namespace mirelo
