#pragma once

#include <QTreeWidget>

namespace mirelo {

class OptionSheet;

// A property grid over the option sheet model. Categories are group rows, items show their
// caption and value; list items are edited with a drop-down of their value list (a typed value
// is accepted too, unless the item cannot hold it: a bitrate that is not a number, a size that is
// not WxH, ...), read-only items cannot be edited. An edit goes to the model at once, and the
// grid follows every change of the model.
class OptionSheetView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { CaptionColumn = 0, ValueColumn = 1 };

    explicit OptionSheetView(QWidget* parent = nullptr);

    void setSheet(OptionSheet* sheet);
    OptionSheet* sheet() const { return m_sheet; }

    // The three display properties.
    void setShowGridLines(bool on);
    bool showGridLines() const { return m_gridLines; }
    void setBoldCategories(bool on);
    bool boldCategories() const { return m_boldCategories; }
    void setExpandAllCategories(bool on);
    bool expandAllCategories() const { return m_expandAll; }

    // The grid row of an item, or nullptr; its ValueColumn text is what the user sees.
    QTreeWidgetItem* rowFor(const QString& category, const QString& item) const;

    // Shows why a typed value was not taken, next to the item.
    void refuseEdit(const QModelIndex& index, const QString& message);

Q_SIGNALS:
    // A typed value the item cannot hold was refused; the item keeps its value.
    void editRefused(const QString& message);

private:
    void rebuild();
    void refreshItem(const QString& category, const QString& item);
    void showItem(QTreeWidgetItem* row);
    void styleCategory(QTreeWidgetItem* row);

    OptionSheet* m_sheet = nullptr;
    bool m_gridLines = false;
    bool m_boldCategories = false;
    bool m_expandAll = false;
};

} // namespace mirelo
