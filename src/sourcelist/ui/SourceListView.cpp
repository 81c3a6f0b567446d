#include "sourcelist/ui/SourceListView.h"

#include <QHeaderView>

namespace mirelo {

namespace {

struct ColumnLayout {
    const char* header;
    Qt::Alignment align;
    int widthTwips;
};

// Headers, alignments and widths of the seven columns.
constexpr ColumnLayout kColumns[] = {
    {"File Name", Qt::AlignLeft, 8025},  {"Start", Qt::AlignLeft, 2090},
    {"End", Qt::AlignHCenter, 1870},     {"Size", Qt::AlignHCenter, 1940},
    {"Format", Qt::AlignLeft, 1658},     {"Status", Qt::AlignLeft, 2540},
    {"Video Time", Qt::AlignLeft, 1834},
};
static_assert(std::size(kColumns) == SourceListView::ColumnCount);

int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

} // namespace

SourceListView::SourceListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("lvwAudioTracks"));
    setColumnCount(ColumnCount);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    QTreeWidgetItem* head = headerItem();
    for (int c = 0; c < ColumnCount; ++c) {
        head->setText(c, QString::fromLatin1(kColumns[c].header));
        head->setTextAlignment(c, kColumns[c].align | Qt::AlignVCenter);
        setColumnWidth(c, twipsToPixels(kColumns[c].widthTwips));
    }
    header()->setStretchLastSection(false);
}

} // namespace mirelo
