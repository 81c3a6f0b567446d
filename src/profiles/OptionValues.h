#pragma once

#include "profiles/SheetValues.h"

#include <QString>

#include <optional>

namespace mirelo {

// Option text to a 16-bit integer: nearest integer, ties to even ("12.2" gives 12, "2.5" gives 2);
// nullopt for text that is not a number or lies outside the 16-bit range.
std::optional<int> toInteger16(const QString& text);

// Why an option item cannot hold a value, naming the item and the value; an empty text when it
// can. The items the encoder reads as numbers or sizes hold only those: a bitrate, frame rate,
// sample rate or channel count that is a number, a size that is WxH. Other items hold any text.
QString optionValueError(const QString& category, const QString& item, const QString& value);

// The error of the first item of the sheet that holds a value it cannot; empty when there is none.
QString sheetValueError(const SheetValues& sheet);

} // namespace mirelo
