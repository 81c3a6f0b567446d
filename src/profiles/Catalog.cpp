#include "profiles/Catalog.h"

namespace mirelo {

const CatalogRow* catalogRow(ProfileId profile) {
    const std::span<const CatalogRow> rows = catalogRows();
    const int position = profile.position();
    if (position < 1 || position > static_cast<int>(rows.size()))
        return nullptr;
    return &rows[static_cast<size_t>(position - 1)];
}

bool isCategoryPosition(ProfileId profile) {
    const CatalogRow* row = catalogRow(profile);
    return row && row->kind == RowKind::Category;
}

bool isProfile(ProfileId profile) {
    const CatalogRow* row = catalogRow(profile);
    return row && row->kind == RowKind::Profile;
}

std::vector<int> categoryPositions() {
    std::vector<int> positions;
    for (const CatalogRow& row : catalogRows())
        if (row.kind == RowKind::Category)
            positions.push_back(row.position);
    return positions;
}

QString outputExtension(const QString& displayText) {
    const qsizetype dot = displayText.indexOf(u'.');
    return dot < 0 ? QString() : displayText.mid(dot, 4);
}

QString outputExtension(const CatalogRow& row) {
    return row.extension ? QString::fromLatin1(row.extension)
                         : outputExtension(QString::fromUtf8(row.text));
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
