#include "sourcelist/ui/SourceListView.h"

#include "platform/Twips.h"
#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"
#include "sourcelist/SourceFiles.h"

#include <QBrush>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace mirelo {

namespace {

// Widths of the seven columns, in twips.
constexpr int kColumnWidthsTwips[] = {8025, 2090, 1870, 1940, 1658, 2540, 1834};
static_assert(std::size(kColumnWidthsTwips) == SourceListModel::ColumnCount);

struct MenuEntry {
    const char* name; // nullptr: a separator
    const char* text;
    void (SourceListView::*action)();
};

// The context menu popupmenu1, in order.
const MenuEntry kPopupEntries[] = {
    {"convertnow1", "Convert Now!", &SourceListView::convertRequested},
    {nullptr, nullptr, nullptr},
    {"PlaySelectedFile", "Play Selected File", &SourceListView::playRequested},
    {nullptr, nullptr, nullptr},
    {"cuttime", "Video Clip", &SourceListView::requestVideoClip},
    {nullptr, nullptr, nullptr},
    {"AddFiless", "Add Files", &SourceListView::addFilesWithDialog},
    {"RemoveSelectedItem", "Remove Selected Item", &SourceListView::removeSelected},
    {"ClearAllItems", "Clear All Items", &SourceListView::clearAll},
    {nullptr, nullptr, nullptr},
    {"Capture1", "Capture Video From DV", &SourceListView::captureRequested},
    {nullptr, nullptr, nullptr},
    {"Import1", "Import Video From Youtube", &SourceListView::importRequested},
};

// The list's rows as shown: a row still waiting for its probe is greyed.
class GreyWhileProbing : public QIdentityProxyModel {
public:
    explicit GreyWhileProbing(QWidget* view) : QIdentityProxyModel(view), m_view(view) {}

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole && index.data(SourceListModel::ProbingRole).toBool())
            return m_view->palette().brush(QPalette::Disabled, QPalette::Text);
        return QIdentityProxyModel::data(index, role);
    }

private:
    QWidget* m_view;
};

} // namespace

SourceListView::SourceListView(SourceListModel& rows, QWidget* parent)
    : QTreeView(parent), m_rows(rows) {
    setObjectName(QStringLiteral("lvwAudioTracks"));
    auto* shown = new GreyWhileProbing(this);
    shown->setSourceModel(&m_rows);
    setModel(shown);
    setUpColumns();
    setUpContextMenu();
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    m_presenter = messageBoxesOver(this);
    connect(this, &QAbstractItemView::clicked, this, &SourceListView::showSelectedInSheet);
    connect(this, &QAbstractItemView::doubleClicked, this, &SourceListView::requestVideoClip);
    connect(&m_rows, &SourceListModel::playerMissing, this,
            [this](const QString& message) { showMessage(QMessageBox::Critical, message); });
}

void SourceListView::setUpColumns() {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < SourceListModel::ColumnCount; ++c)
        setColumnWidth(c, twipsToPixels(kColumnWidthsTwips[c]));
    header()->setStretchLastSection(false);
}

void SourceListView::setUpContextMenu() {
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("popupmenu1"));
    for (const MenuEntry& entry : kPopupEntries) {
        if (!entry.name) {
            m_popup->addSeparator();
            continue;
        }
        QAction* action = m_popup->addAction(QString::fromLatin1(entry.text));
        action->setObjectName(QString::fromLatin1(entry.name));
        connect(action, &QAction::triggered, this, entry.action);
    }
}

void SourceListView::setMessagePresenter(MessagePresenter presenter) {
    m_presenter = std::move(presenter);
}

void SourceListView::showMessage(QMessageBox::Icon icon, const QString& text) {
    if (m_presenter)
        m_presenter(icon, text);
}

void SourceListView::addFiles(const QStringList& paths) {
    for (const QString& path : paths)
        m_rows.addMediaFile(path);
}

void SourceListView::addFilesWithDialog() {
    if (!m_dialog) {
        m_dialog = new QFileDialog(this, QStringLiteral("Open Video File"));
        m_dialog->setObjectName(QStringLiteral("CommonDialog1"));
        m_dialog->setFileMode(QFileDialog::ExistingFiles);
        m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
        // The filter texts already name their patterns; the dialog shows them as they are.
        m_dialog->setOption(QFileDialog::HideNameFilterDetails);
        m_dialog->setOption(QFileDialog::DontResolveSymlinks);
        m_dialog->setOption(QFileDialog::ReadOnly);
        QStringList filters;
        for (const OpenDialogFilter& f : openDialogFilters())
            filters << dialogNameFilter(f);
        m_dialog->setNameFilters(filters);
        connect(m_dialog, &QFileDialog::accepted, this,
                [this] { addFiles(m_dialog->selectedFiles()); });
    }
    m_dialog->selectNameFilter(dialogNameFilter(openDialogFilters().front()));
    m_dialog->selectFile(QString()); // each opening starts with an empty file name
    m_dialog->open();
}

void SourceListView::dropFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!isAcceptedDropPath(path)) {
            showMessage(QMessageBox::Information, QStringLiteral("Only Video files are allowed!"));
            return;
        }
        m_rows.addMediaFile(path);
    }
}

void SourceListView::removeSelected() {
    m_rows.remove(m_rows.idAt(selectedRow()));
}

void SourceListView::clearAll() {
    m_rows.clear();
}

int SourceListView::selectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void SourceListView::showSelectedInSheet() {
    const int index = selectedRow();
    if (index < 0)
        return;
    const SourceRow& row = m_rows.at(index);
    m_currentFile = row.path;
    Q_EMIT currentFileChanged(m_currentFile);
    if (!m_sheet)
        return;
    using namespace sheet;
    const auto latin = [](const char* s) { return QString::fromLatin1(s); };
    m_sheet->setValue(latin(kGeneral), latin(kItemName), m_currentFile);
    m_sheet->setValue(latin(kOutputDuration), latin(kAllClipDuration), QString());
    m_sheet->setValue(latin(kOutputDuration), latin(kStartTime), row.start);
    m_sheet->setValue(latin(kOutputDuration), latin(kStopTime), row.end);
}

void SourceListView::requestVideoClip() {
    const int index = selectedRow();
    if (index < 0)
        return;
    const SourceRow row = m_rows.at(index);
    Q_EMIT previewQuitRequested();
    Q_EMIT videoClipRequested({row.id, row.path, row.start, row.end, row.videoTime});
}

void SourceListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        m_popup->popup(event->globalPosition().toPoint());
}

namespace {

QStringList droppedPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedPaths(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedPaths(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void SourceListView::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedPaths(event->mimeData());
    if (paths.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    dropFiles(paths);
}

} // namespace mirelo
