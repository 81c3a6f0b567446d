#include "app/OptionSheetView.h"

#include "profiles/OptionSheet.h"
#include "profiles/OptionValues.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace mirelo {

namespace {

constexpr int kCategoryRole = Qt::UserRole;
constexpr int kItemRole = Qt::UserRole + 1;

bool isCategoryRow(const QModelIndex& index) {
    return !index.parent().isValid();
}

// Edits a value in place: a drop-down for list items, a line edit for text items. Both write to
// the model when the edit ends; a pick from the drop-down ends the edit at once.
class SheetDelegate : public QStyledItemDelegate {
public:
    explicit SheetDelegate(OptionSheetView* view) : QStyledItemDelegate(view), m_view(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const OptionSheet::Item* item = sheetItem(index);
        if (!item || item->readOnly || index.column() != OptionSheetView::ValueColumn)
            return nullptr;
        if (item->kind == OptionSheet::ItemKind::Text)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(item->list);
        connect(combo, &QComboBox::activated, this, [this, combo] {
            auto* self = const_cast<SheetDelegate*>(this);
            Q_EMIT self->commitData(combo);
            Q_EMIT self->closeEditor(combo);
        });
        return combo;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data(Qt::DisplayRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentText(value);
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setText(value);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        QString value;
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            value = combo->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            value = line->text();
        else
            return;
        const QString category = index.data(kCategoryRole).toString();
        const QString item = index.data(kItemRole).toString();
        // Blanks typed around a number are dropped; a value the item cannot hold is refused.
        if (!optionValueError(category, item, value).isEmpty() &&
            optionValueError(category, item, value.trimmed()).isEmpty())
            value = value.trimmed();
        if (const QString refused = optionValueError(category, item, value); !refused.isEmpty()) {
            m_view->refuseEdit(index, refused);
            return;
        }
        // The model is the truth; the grid row follows through the model's change signal.
        m_view->sheet()->setValue(category, item, value);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!m_view->showGridLines())
            return;
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        if (!isCategoryRow(index) && index.column() == OptionSheetView::CaptionColumn)
            painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), option.fontMetrics.height() + 7));
        return size;
    }

private:
    const OptionSheet::Item* sheetItem(const QModelIndex& index) const {
        if (!m_view->sheet() || isCategoryRow(index))
            return nullptr;
        return m_view->sheet()->item(index.data(kCategoryRole).toString(),
                                     index.data(kItemRole).toString());
    }

    OptionSheetView* m_view;
};

} // namespace

OptionSheetView::OptionSheetView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("optionSheetView"));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Option"), QStringLiteral("Value")});
    header()->setSectionResizeMode(CaptionColumn, QHeaderView::Interactive);
    header()->setStretchLastSection(true);
    header()->resizeSection(CaptionColumn, 150);
    setItemDelegate(new SheetDelegate(this));
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setAlternatingRowColors(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    // A property grid edits on a single click on the value.
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row, int) {
        if (row->flags() & Qt::ItemIsEditable)
            editItem(row, ValueColumn);
    });
}

void OptionSheetView::setSheet(OptionSheet* sheet) {
    if (m_sheet)
        disconnect(m_sheet, nullptr, this, nullptr);
    m_sheet = sheet;
    if (m_sheet) {
        connect(m_sheet, &OptionSheet::structureChanged, this, &OptionSheetView::rebuild);
        connect(m_sheet, &OptionSheet::itemChanged, this, &OptionSheetView::refreshItem);
        connect(m_sheet, &QObject::destroyed, this, [this] {
            m_sheet = nullptr;
            clear();
        });
    }
    rebuild();
}

void OptionSheetView::setShowGridLines(bool on) {
    m_gridLines = on;
    viewport()->update();
}

void OptionSheetView::setBoldCategories(bool on) {
    m_boldCategories = on;
    for (int i = 0; i < topLevelItemCount(); ++i)
        styleCategory(topLevelItem(i));
}

void OptionSheetView::setExpandAllCategories(bool on) {
    m_expandAll = on;
    if (on)
        expandAll();
}

QTreeWidgetItem* OptionSheetView::rowFor(const QString& category, const QString& item) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* cat = topLevelItem(i);
        if (cat->text(CaptionColumn) != category)
            continue;
        for (int j = 0; j < cat->childCount(); ++j) {
            if (cat->child(j)->data(CaptionColumn, kItemRole).toString() == item)
                return cat->child(j);
        }
    }
    return nullptr;
}

void OptionSheetView::refuseEdit(const QModelIndex& index, const QString& message) {
    const QRect cell = visualRect(index);
    QToolTip::showText(viewport()->mapToGlobal(cell.bottomLeft()), message, viewport(), cell);
    Q_EMIT editRefused(message);
}

void OptionSheetView::rebuild() {
    QStringList collapsed;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (!topLevelItem(i)->isExpanded())
            collapsed << topLevelItem(i)->text(CaptionColumn);
    }
    clear();
    if (!m_sheet)
        return;
    for (const OptionSheet::Category& category : m_sheet->categories()) {
        auto* cat = new QTreeWidgetItem(this, {category.name});
        cat->setFlags(Qt::ItemIsEnabled);
        cat->setFirstColumnSpanned(true);
        styleCategory(cat);
        for (const OptionSheet::Item& item : category.items) {
            auto* row = new QTreeWidgetItem(cat, {item.name});
            for (int column : {CaptionColumn, ValueColumn}) {
                row->setData(column, kCategoryRole, category.name);
                row->setData(column, kItemRole, item.name);
            }
            showItem(row);
        }
        cat->setExpanded(m_expandAll || !collapsed.contains(category.name));
    }
}

void OptionSheetView::refreshItem(const QString& category, const QString& item) {
    if (QTreeWidgetItem* row = rowFor(category, item))
        showItem(row);
}

void OptionSheetView::showItem(QTreeWidgetItem* row) {
    const OptionSheet::Item* item =
        m_sheet->item(row->data(CaptionColumn, kCategoryRole).toString(),
                      row->data(CaptionColumn, kItemRole).toString());
    if (!item)
        return;
    row->setText(ValueColumn, item->value);
    // An item that explains its values says so on both cells, so the user finds it either way.
    const QString explained = item->description.isEmpty()
                                  ? item->value
                                  : item->value + QStringLiteral("\n\n") + item->description;
    row->setToolTip(ValueColumn, explained);
    row->setToolTip(CaptionColumn, item->description);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!item->readOnly)
        flags |= Qt::ItemIsEditable;
    row->setFlags(flags);
    const QPalette::ColorRole role = item->readOnly ? QPalette::PlaceholderText : QPalette::Text;
    row->setForeground(ValueColumn, palette().brush(role));
}

void OptionSheetView::styleCategory(QTreeWidgetItem* row) {
    QFont f = font();
    f.setBold(m_boldCategories);
    row->setFont(CaptionColumn, f);
    row->setBackground(CaptionColumn, palette().brush(QPalette::AlternateBase));
}

} // namespace mirelo
