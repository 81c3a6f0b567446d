#pragma once

#include "profiles/ProfileId.h"

#include <QString>

#include <span>
#include <vector>

namespace mirelo {

enum class RowKind { Category, Profile };

// The encoder command-line layouts the rows share; the command-line builder holds their pieces.
// The rows after the first 92 use the last four: an encoded video, encoded audio, streams copied
// into another container, the audio stream copied into a container of its own.
enum class CommandLayout {
    Full,
    Wmv,
    Phone3gp,
    Phone3g2,
    Flash,
    Dvd,
    Audio,
    Wma,
    ModernVideo,
    ModernAudio,
    CopyStreams,
    ExtractAudio
};

// One step of a profile's preset: optionally empty the item's value list, optionally set its
// value, then append values to its list (a value the list holds already is not added again).
struct ItemSetting {
    const char* category;
    const char* item;
    bool clearList;
    const char* value; // nullptr: the value is left as it was
    std::vector<const char*> list;
};

// One row of the profile chooser with everything the product knows about it. Every reader
// (the chooser and its pictures, the presets, the command line) takes it from here.
struct CatalogRow {
    int position; // 1-based place in the chooser, written out so the table reads like the chooser
    RowKind kind;
    const char* text;
    int icon;            // 1-based index in the chooser's image list; 0 for profile rows
    const char* picture; // name of the family picture; nullptr for profile rows
    CommandLayout layout;
    const char* fragment; // the row's own piece of its layout; empty when the layout has none
    std::vector<ItemSetting> preset; // in the order the steps run; empty for headings
    // Rows after the first 92 only, which name their output extension rather than take it from
    // the text (".webm" and ".flac" are longer than the four characters that rule takes).
    const char* extension = nullptr;
    // The encoder's constant-quality option with its value as "%1" (" -crf %1"); nullptr: the row
    // has none and ignores the sheet's "Video Quality".
    const char* quality = nullptr;
    // What the user should know about the row before picking it; empty for most.
    const char* note = nullptr;

    ProfileId id() const { return position; }
    // The layouts of the newer rows keep the source's size and frame rate when asked to.
    bool isModern() const { return layout >= CommandLayout::ModernVideo; }
};

std::span<const CatalogRow> catalogRows();

// The number of rows, counted from the table, so that a new profile is one new row and nothing
// else.
inline const int kCatalogSize = static_cast<int>(catalogRows().size());

// The row of a profile, or nullptr outside the table.
const CatalogRow* catalogRow(ProfileId profile);

bool isCategoryPosition(ProfileId profile);
// True for a row that converts: a profile, not a heading, inside the table.
bool isProfile(ProfileId profile);
// The headings' positions, as numbers.
std::vector<int> categoryPositions();

// The four characters from the first "." of a display text (".mp4"); empty when there is no ".".
QString outputExtension(const QString& displayText);
// A row's output extension: its own when it names one, else the one of its text.
QString outputExtension(const CatalogRow& row);

// The leading decimal number of a stored "profile" value; empty or non-numeric text gives 0.
int parseStoredPosition(const QString& stored);

} // namespace mirelo
