#include "app/ProfileChooser.h"

#include "app/ImageList.h"
#include "profiles/Catalog.h"

#include <QStandardItemModel>

namespace mirelo {

ProfileChooser::ProfileChooser(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("ImageCombo1"));
    setMaxVisibleItems(24);
    setIconSize({20, 20});
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(28);
    setPlaceholderText(QStringLiteral("Choose an output profile"));
    connect(this, &QComboBox::activated, this,
            [this](int index) { Q_EMIT profilePicked(index + 1); });
}

void ProfileChooser::fill() {
    const QSignalBlocker block(this);
    clear();
    auto* rows = qobject_cast<QStandardItemModel*>(model());
    for (const CatalogRow& row : catalogRows()) {
        auto* item = new QStandardItem(QString::fromUtf8(row.text));
        if (row.kind == RowKind::Category) {
            if (m_images)
                item->setIcon(m_images->icon(row.icon));
            QFont heading = font();
            heading.setBold(true);
            item->setFont(heading);
            // A heading: visible and current-able, but not pickable.
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        }
        rows->appendRow(item);
    }
    setCurrentIndex(-1);
}

int ProfileChooser::selectedPosition() const {
    return currentIndex() + 1;
}

bool ProfileChooser::selectPosition(int position) {
    if (position < 1 || position > count())
        return false;
    setCurrentIndex(position - 1);
    return true;
}

} // namespace mirelo
