#include "app/ProfileChooser.h"

#include "app/ImageList.h"
#include "convert/HardwareTrial.h"
#include "profiles/Catalog.h"
#include "ui/SkinNames.h"

#include <QStandardItemModel>

namespace mirelo {

ProfileChooser::ProfileChooser(QWidget* parent) : QComboBox(parent) {
    setObjectName(skinName::kProfileChooser);
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
        if (row.note)
            item->setToolTip(QString::fromUtf8(row.note));
        if (const QString encoder = hardwareEncoderOf(row); !encoder.isEmpty()) {
            item->setEnabled(false);
            item->setToolTip(
                QStringLiteral("Checking whether this computer can encode with %1.").arg(encoder));
        }
        rows->appendRow(item);
    }
    setCurrentIndex(-1);
}

void ProfileChooser::setHardwareResult(const QString& encoder, bool works, const QString& reason) {
    auto* rows = qobject_cast<QStandardItemModel*>(model());
    for (const CatalogRow& row : catalogRows()) {
        QStandardItem* item = rows->item(row.position - 1);
        if (!item || hardwareEncoderOf(row) != encoder)
            continue;
        item->setEnabled(works);
        item->setToolTip(
            works ? QStringLiteral("Encodes with %1 on the graphics card.").arg(encoder) : reason);
    }
}

bool ProfileChooser::isPickable(int position) const {
    const auto* rows = qobject_cast<const QStandardItemModel*>(model());
    const QStandardItem* item = rows->item(position - 1);
    return item && item->isEnabled();
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
