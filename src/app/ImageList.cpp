#include "app/ImageList.h"

#include "app/Resources.h"

#include <array>

namespace mirelo {

namespace {

// Picture per index. The catalog uses 21 of them; the others show the neutral media picture so
// that every index holds a picture.
constexpr std::array<const char*, ImageList::kSize> kPictures = {
    "ipod",       // 1  Apple iPod
    "appletv",    // 2  Apple TV
    "archos",     // 3  Archos
    "generic",    // 4
    "flash",      // 5  Flash Video
    "audio",      // 6  Common Used Audio Formats
    "generic",    // 7
    "gigabeat",   // 8  Toshiba Gigabeat
    "gphone",     // 9  Gphone
    "iphone",     // 10 Apple iPhone
    "blackberry", // 11 BlackBerry
    "mobile",     // 12 Mobile Phone
    "generic",    // 13
    "generic",    // 14
    "psp",        // 15 Sony PSP
    "sansa",      // 16 Sandisk Sansa
    "walkman",    // 17 Sony Walkman
    "wii",        // 18 Nintendo Wii
    "generic",    // 19
    "xbox",       // 20 Microsoft Xbox 360
    "zen",        // 21 Creative Zen
    "zune",       // 22 Microsoft Zune
    "generic",    // 23
    "generic",    // 24
    "generic",    // 25
    "generic",    // 26
    "generic",    // 27
    "generic",    // 28
    "generic",    // 29
    "nokia",      // 30 Nokia
    "pda",        // 31 iRiver, Windows Mobile
    "generic",    // 32
    "generic",    // 33
    "generic",    // 34
    "generic",    // 35
    "generic",    // 36
    "generic",    // 37
    "ps3",        // 38 Sony PS3
    "generic",    // 39
    "generic",    // 40
    "video",      // 41 Common Used Video Formats
};

} // namespace

ImageList::ImageList() {
    initUiResources();
    for (int i = 1; i <= kSize; ++i) {
        // Heading rows are disabled items; their pictures keep their colours all the same.
        QIcon icon;
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Selected, QIcon::Active})
            icon.addFile(resourcePath(i), QSize(), mode);
        m_icons.append(icon);
    }
}

QIcon ImageList::icon(int index) const {
    return index >= 1 && index <= size() ? m_icons[index - 1] : QIcon();
}

QString ImageList::resourcePath(int index) {
    if (index < 1 || index > kSize)
        return {};
    return QStringLiteral(":/icons/families/%1.svg")
        .arg(QLatin1String(kPictures[static_cast<size_t>(index - 1)]));
}

} // namespace mirelo
