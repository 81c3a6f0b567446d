#pragma once

#include <QIcon>
#include <QList>

namespace mirelo {

// The pictures of the profile chooser's category rows, addressed by the 1-based
// icon index the catalog gives each category.
class ImageList {
public:
    ImageList();

    int size() const { return static_cast<int>(m_icons.size()); }
    // The picture at a 1-based index; a null icon outside 1..size().
    QIcon icon(int index) const;
    // The resource path of the picture at a 1-based index; empty outside the indexes the catalog
    // uses.
    static QString resourcePath(int index);

private:
    QList<QIcon> m_icons;
};

} // namespace mirelo
