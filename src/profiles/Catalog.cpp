#include "profiles/Catalog.h"

#include <array>

namespace mirelo {

namespace {

constexpr RowKind C = RowKind::Category;
constexpr RowKind P = RowKind::Profile;

// The chooser, in order. Positions are stored in settings and keyed on by presets and the
// command line, so rows must never be inserted, removed or reordered.
constexpr std::array<CatalogRow, kCatalogSize> kRows{{
    {1, C, "Apple iPod", 1},
    {2, P, "Apple iPod Video MPEG-4 Movie(*.mp4)", 0},
    {3, P, "Apple iPod Nano/Classic MPEG-4 Movie(*.mp4)", 0},
    {4, P, "Apple iPod Movie for 480p TV Out(*.mp4)", 0},
    {5, P, "Apple iPod Movie for 576p TV Out(*.mp4)", 0},
    {6, P, "Apple iPod Touch MPEG-4 Movie(*.mp4)", 0},
    {7, C, "Apple iPhone", 10},
    {8, P, "Apple iPhone MPEG-4 Movie(*.mp4)", 0},
    {9, P, "Apple iPhone Movie for 480p TV Out(*.mp4)", 0},
    {10, P, "Apple iPhone Movie for 576p TV Out(*.mp4)", 0},
    {11, C, "Apple TV", 2},
    {12, P, "Apple TV MPEG-4 Movie(*.mp4)", 0},
    {13, P, "Apple TV MPEG-4 AVC Movie(*.mp4)", 0},
    {14, C, "Gphone", 9},
    {15, P, "Gphone MPEG-4 Movie(*.mp4)", 0},
    {16, P, "Google Nexus One MPEG-4 Movie(*.mp4)", 0},
    {17, C, "Sony PSP", 15},
    {18, P, "Sony PSP MPEG-4 Movie(*.mp4)", 0},
    {19, P, "Sony PSP MPEG-4 AVC Movie(*.mp4)", 0},
    {20, C, "Sony PS3", 38},
    {21, P, "Sony PS3 MPEG-4 AVC Movie(480p)(*.mp4)", 0},
    {22, P, "Sony PS3 MPEG-4 AVC Movie(720p)(*.mp4)", 0},
    {23, P, "Sony PS3 MPEG-4 AVC Movie(1080p)(*.mp4)", 0},
    {24, C, "Sony Walkman", 17},
    {25, P, "Sony Walkman MPEG-4 Movie(*.mp4)", 0},
    {26, P, "Sony Walkman MPEG-4 AVC Movie(*.mp4)", 0},
    {27, P, "Sony Walkman WMV9 Movie(*.wmv)", 0},
    {28, C, "Microsoft Zune", 22},
    {29, P, "Microsoft Zune WMV Movie(*.wmv)", 0},
    {30, P, "Microsoft Zune MPEG-4 Movie(*.mp4)", 0},
    {31, P, "Microsoft Zune HD WMV Movie(*.wmv)", 0},
    {32, P, "Microsoft Zune HD MPEG-4 Movie(*.mp4)", 0},
    {33, C, "Archos", 3},
    {34, P, "Archos 105 Movie(*.wmv)", 0},
    {35, P, "Archos 404/405 Movie(*.wmv)", 0},
    {36, P, "Archos 504/604 Movie(*.wmv)", 0},
    {37, P, "Archos 605/705/TV+ Movie(*.wmv)", 0},
    {38, P, "Archos AV500 Movie(*.wmv)", 0},
    {39, P, "Archos AV700 Movie(*.wmv)", 0},
    {40, C, "Creative Zen", 21},
    {41, P, "Creative Zen X-Fi Movie(*.avi)", 0},
    {42, P, "Creative Zen Vison Movie(*.avi)", 0},
    {43, P, "Creative Zen Vison M Movie(*.avi)", 0},
    {44, P, "Creative Zen Vison W Movie(*.avi)", 0},
    {45, C, "iRiver", 31},
    {46, P, "iRiver E10 Movie(*.avi)", 0},
    {47, P, "iRiver U10/Clix Movie(*.avi)", 0},
    {48, P, "iRiver B20/X20/Clix 2/E100/Lplayer Movie(*.avi)", 0},
    {49, P, "iRiver Spinn/D28/DICPLE D30 Movie(*.avi)", 0},
    {50, P, "iRiver P10/P20 Movie(*.avi)", 0},
    {51, P, "iRiver PMP-120/140/IMP-1000/1100 Movie(*.avi)", 0},
    {52, C, "Sandisk Sansa", 16},
    {53, P, "Sandisk Sansa AVI Movie(*.avi)", 0},
    {54, P, "Sandisk Sansa WMV Movie(*.wmv)", 0},
    {55, P, "Sandisk Sansa MPEG-4 Movie(*.mp4)", 0},
    {56, C, "Microsoft Xbox 360", 20},
    {57, P, "Xbox WMV Movie(*.wmv)", 0},
    {58, P, "Xbox AVI Movie(*.avi)", 0},
    {59, P, "Xbox MPEG-4 Movie(*.mp4)", 0},
    {60, C, "Nintendo Wii", 18},
    {61, P, "Nintendo Wii AVI Movie(*.avi)", 0},
    {62, C, "Mobile Phone", 12},
    {63, P, "Mobile Phone 3GP Movie(*.3gp)", 0},
    {64, P, "Mobile Phone 3GP2 Movie(*.3g2)", 0},
    {65, P, "Mobile Phone MPEG-4 Movie(*.mp4)", 0},
    {66, P, "Nokia N-series MPEG-4 Movie(*.mp4)", 0},
    {67, C, "BlackBerry", 11},
    {68, P, "BlackBerry MPEG-4 Movie(*.mp4)", 0},
    {69, C, "Nokia", 30},
    {70, P, "Nokia N-Series MPEG-4 Movie(*.mp4)", 0},
    {71, C, "Windows Mobile", 31},
    {72, P, "Palm Treo Series Movie(*.wmv)", 0},
    {73, P, "General Pocket PC Movie(*.wmv)", 0},
    {74, C, "Flash Video", 5},
    {75, P, "Flash Video Movie(*.flv)", 0},
    {76, P, "Flash SWF(*.swf)", 0},
    {77, C, "Toshiba Gigabeat", 8},
    {78, P, "Toshiba Gigabeat WMV Movie(*.wmv)", 0},
    {79, C, "Common Used Video Formats", 41},
    {80, P, "DVD Video NTSC Movie(*.mpg)", 0},
    {81, P, "DVD Video PAL Movie(*.mpg)", 0},
    {82, P, "MPEG-I Movie(*.mpg)", 0},
    {83, P, "MPEG-II Movie(*.mpg)", 0},
    {84, P, "Customized AVI Movie(*.avi)", 0},
    {85, P, "Customized WMV Movie(*.wmv)", 0},
    {86, P, "Customized MP4 Movie(*.mp4)", 0},
    {87, C, "Common Used Audio Formats", 6},
    {88, P, "MP3 Audio(*.mp3)", 0},
    {89, P, "OGG Vorbis Audio(*.ogg)", 0},
    {90, P, "WAVE Audio(*.wav)", 0},
    {91, P, "AAC Audio(*.aac)", 0},
    {92, P, "WMA Audio(*.wma)", 0},
}};

} // namespace

std::span<const CatalogRow> catalogRows() { return kRows; }

const CatalogRow* catalogRow(int position) {
    if (position < 1 || position > kCatalogSize)
        return nullptr;
    return &kRows[static_cast<size_t>(position - 1)];
}

bool isCategoryPosition(int position) {
    const CatalogRow* row = catalogRow(position);
    return row && row->kind == RowKind::Category;
}

std::vector<int> categoryPositions() {
    std::vector<int> positions;
    for (const CatalogRow& row : kRows)
        if (row.kind == RowKind::Category)
            positions.push_back(row.position);
    return positions;
}

QString outputExtension(const QString& displayText) {
    const qsizetype dot = displayText.indexOf(u'.');
    return dot < 0 ? QString() : displayText.mid(dot, 4);
}

int parseStoredPosition(const QString& stored) {
    const QString text = stored.trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && digits < 9 && text[digits].isDigit() &&
           text[digits].unicode() < 128)
        ++digits;
    return digits == 0 ? 0 : text.left(digits).toInt();
}

} // namespace mirelo
