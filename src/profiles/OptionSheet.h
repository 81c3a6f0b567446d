#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace mirelo {

// The model behind the option sheet: categories of named items, each with a text value and,
// for list items, the values offered in a drop-down. Items are addressed by category and item
// caption; a caption that does not exist is a caller error, reported by a false / null result.
class OptionSheet : public QObject {
    Q_OBJECT
public:
    enum class ItemKind { Text, List };

    struct Item {
        QString name;
        QString value;
        ItemKind kind = ItemKind::Text;
        bool readOnly = false;
        QStringList list;
        QString description = {}; // what the values mean, for the user; empty for most items
    };

    struct Category {
        QString name;
        std::vector<Item> items;
    };

    explicit OptionSheet(QObject* parent = nullptr);

    void clear();
    bool addCategory(const QString& name);
    bool addItem(const QString& category, const QString& name, const QString& value, ItemKind kind);
    // Appends a value to the item's list; a value the list already holds is not added again.
    bool addListValue(const QString& category, const QString& item, const QString& value);
    bool clearListValues(const QString& category, const QString& item);
    bool setReadOnly(const QString& category, const QString& item, bool readOnly);
    bool setDescription(const QString& category, const QString& item, const QString& text);
    bool setValue(const QString& category, const QString& item, const QString& value);

    bool hasCategory(const QString& category) const;
    const Item* item(const QString& category, const QString& item) const;
    // The item's value, or an empty text when the item does not exist.
    QString value(const QString& category, const QString& item) const;

    const std::vector<Category>& categories() const { return m_categories; }

Q_SIGNALS:
    // The categories or items were added or removed.
    void structureChanged();
    // One item's value, list or read-only flag changed.
    void itemChanged(const QString& category, const QString& item);

private:
    Category* findCategory(const QString& name);
    Item* findItem(const QString& category, const QString& item);

    std::vector<Category> m_categories;
};

// Builds the sheet at its start-up defaults.
void resetToDefaults(OptionSheet& sheet);
// An item's start-up value; empty for an item the sheet does not have.
QString defaultValue(const QString& category, const QString& item);

} // namespace mirelo
