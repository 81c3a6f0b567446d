#pragma once

#include <QString>

#include <span>
#include <vector>

namespace mirelo {

enum class RowKind { Category, Profile };

// One row of the profile chooser. The 1-based position is the profile identifier everywhere:
// presets, the command line and the stored "profile" setting all key on it.
struct CatalogRow {
    int position;
    RowKind kind;
    const char* text;
    int icon; // 1-based picture of the chooser's image list; 0 for profile rows
};

constexpr int kCatalogSize = 92;

std::span<const CatalogRow> catalogRows();

// The row at a position, or nullptr outside 1..92.
const CatalogRow* catalogRow(int position);

bool isCategoryPosition(int position);
std::vector<int> categoryPositions();

// The four characters from the first "." of a display text (".mp4"); empty when there is no ".".
QString outputExtension(const QString& displayText);

// The leading decimal number of a stored "profile" value; empty or non-numeric text gives 0.
int parseStoredPosition(const QString& stored);

} // namespace mirelo
