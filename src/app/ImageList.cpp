#include "app/ImageList.h"

#include "profiles/Catalog.h"
#include "ui/Resources.h"

#include <algorithm>

namespace mirelo {

namespace {

// The picture an index shows: the one the catalog's heading with that index names. Indexes no
// heading uses show the neutral media picture, so that every index holds a picture.
const char* pictureName(int index) {
    for (const CatalogRow& row : catalogRows())
        if (row.kind == RowKind::Category && row.icon == index)
            return row.picture;
    return "generic";
}

// The list holds a picture for every index up to the highest a heading uses.
int lastIndex() {
    int last = 0;
    for (const CatalogRow& row : catalogRows())
        last = std::max(last, row.icon);
    return last;
}

} // namespace

ImageList::ImageList() {
    initUiResources();
    for (int i = 1; i <= lastIndex(); ++i) {
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
    if (index < 1 || index > lastIndex())
        return {};
    return QStringLiteral(":/icons/families/%1.svg").arg(QLatin1String(pictureName(index)));
}

} // namespace mirelo
