#include "sourcelist/ui/SourceListView.h"
#include "ui/SkinNames.h"

#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"
#include "sourcelist/SourceFiles.h"

#include <QBrush>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

namespace mirelo {

namespace {

// The widest text each column usually shows; the file name column takes the room that is left.
// clang-format off
constexpr const char* kColumnSamples[] = {
    "",            // File Name
    "0:00:00",     // Start
    "0:00:00",     // End
    "1920x1080",   // Size
    "MPEG4",       // Format
    "Processing",  // Status
    "0:00:00",     // Video Time
    "~99.9 MB",    // Output Size
};
// clang-format on
static_assert(std::size(kColumnSamples) == SourceListModel::ColumnCount);
// Below this the file name column keeps at least a few characters of each end of the path.
constexpr int kFileNameMinimumChars = 16;

// The list's rows as shown: a row still waiting for its probe is greyed, and the file name,
// shortened in the middle to fit, is whole in its tooltip.
class ShownRows : public QIdentityProxyModel {
public:
    explicit ShownRows(QWidget* view) : QIdentityProxyModel(view), m_view(view) {}

    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole && index.data(SourceListModel::ProbingRole).toBool())
            return m_view->palette().brush(QPalette::Disabled, QPalette::Text);
        if (role == Qt::ToolTipRole && index.column() == SourceListModel::FileNameColumn)
            return fileNameTip(index);
        return QIdentityProxyModel::data(index, role);
    }

private:
    QString fileNameTip(const QModelIndex& index) const {
        // The name as shown: a file reached through a stand-in link shows its own.
        const QString path = QDir::toNativeSeparators(index.data(Qt::DisplayRole).toString());
        const QString note = QIdentityProxyModel::data(index, Qt::ToolTipRole).toString();
        return note.isEmpty() ? path : QString(path + QLatin1Char('\n') + note);
    }

    QWidget* m_view;
};

} // namespace

SourceListView::SourceListView(SourceListModel& rows, QWidget* parent)
    : QTreeView(parent), m_rows(rows) {
    setObjectName(skinName::kSourceList);
    auto* shown = new ShownRows(this);
    shown->setSourceModel(&m_rows);
    setModel(shown);
    setUpColumns();
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("contextMenu"));
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    m_presenter = messageBoxesOver(this);
    connect(this, &QAbstractItemView::clicked, this, &SourceListView::showSelectedInSheet);
    connect(this, &QAbstractItemView::doubleClicked, this, &SourceListView::requestVideoClip);
    keepSheetInStep();
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
    // Every column stays in view: the file name column takes what the others leave and elides
    // in the middle, where a path's least telling part is.
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* columns = header();
    columns->setStretchLastSection(false);
    columns->setMinimumSectionSize(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 4);
    columns->setSectionResizeMode(SourceListModel::FileNameColumn, QHeaderView::Stretch);
    fitColumns();
}

// Wide enough for the column's header alone (as the style draws it, in its own font), or for its
// header and its usual text.
int SourceListView::fittingWidth(int column, bool withSample) const {
    const int least = header()->sectionSizeHint(column);
    if (!withSample)
        return least;
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const int sample = fontMetrics().horizontalAdvance(QLatin1String(kColumnSamples[column]));
    // A cell pads its text more than a header does.
    return qMax(least, sample + 4 * margin);
}

// The other columns at the width their texts need; the file name column takes the rest. When the
// list is too narrow for them and a short file name, the room a column's usual text needs beyond
// its header goes first, alike for all; only then are the headers themselves narrowed.
void SourceListView::fitColumns() {
    const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
    const int nameRoom = fontMetrics().averageCharWidth() * kFileNameMinimumChars;
    int full = 0, headers = 0;
    for (int c = 1; c < SourceListModel::ColumnCount; ++c) {
        full += fittingWidth(c, true);
        headers += fittingWidth(c, false);
    }
    const int left = qMax(0, room - nameRoom);
    const double sampleShare =
        full <= left ? 1.0 : qMax(0.0, double(left - headers) / qMax(1, full - headers));
    const double headerShare = headers <= left ? 1.0 : double(left) / headers;
    for (int c = 1; c < SourceListModel::ColumnCount; ++c) {
        const int least = fittingWidth(c, false);
        const int width =
            int(least * headerShare + (fittingWidth(c, true) - least) * qMin(1.0, sampleShare));
        setColumnWidth(c, qMax(header()->minimumSectionSize(), width));
    }
}

void SourceListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    fitColumns();
}

void SourceListView::setContextActions(const QList<QAction*>& actions) {
    m_contextMenu->clear();
    m_contextMenu->addActions(actions);
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
        m_dialog->setObjectName(QStringLiteral("openFilesDialog"));
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
        connect(m_dialog, &QFileDialog::accepted, this, [this] {
            if (!m_lastFolderFile.isEmpty())
                writeAddFilesFolder(m_lastFolderFile, m_dialog->directory().absolutePath());
            addChosenFiles(m_dialog->selectedFiles());
        });
    }
    if (const QString last = lastFolder(); !last.isEmpty())
        m_dialog->setDirectory(last);
    m_dialog->selectNameFilter(dialogNameFilter(openDialogFilters().front()));
    m_dialog->selectFile(QString()); // each opening starts with an empty file name
    m_dialog->open();
}

QString SourceListView::lastFolder() const {
    if (m_lastFolderFile.isEmpty())
        return {};
    const QString folder = readAddFilesFolder(m_lastFolderFile);
    return QFileInfo(folder).isDir() ? folder : QString();
}

void SourceListView::addChosenFiles(const QStringList& paths) {
    QStringList refused;
    for (const QString& path : paths) {
        if (const QString why = addRefusal(path); !why.isEmpty())
            refused << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
        else
            m_rows.addMediaFile(path);
    }
    if (!refused.isEmpty())
        showMessage(QMessageBox::Warning,
                    QStringLiteral("These files were not added to the list:\n%1")
                        .arg(refused.join(QLatin1Char('\n'))));
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
    m_sheetRow = row.id;
    Q_EMIT currentFileChanged(m_currentFile);
    writeSheetRowItems(&row);
}

// The sheet's row items follow the row they show: a clip edit or a probe rewrites them, and
// once the row is gone they return to their start-up values instead of naming a removed file.
void SourceListView::keepSheetInStep() {
    connect(&m_rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                const int row = m_rows.rowOf(m_sheetRow);
                if (row >= first.row() && row <= last.row())
                    writeSheetRowItems(m_rows.find(m_sheetRow));
            });
    const auto forgetIfGone = [this] {
        if (m_sheetRow == 0 || m_rows.find(m_sheetRow))
            return;
        m_sheetRow = 0;
        m_currentFile.clear();
        writeSheetRowItems(nullptr);
    };
    connect(&m_rows, &QAbstractItemModel::rowsRemoved, this, forgetIfGone);
    connect(&m_rows, &QAbstractItemModel::modelReset, this, forgetIfGone);
}

void SourceListView::writeSheetRowItems(const SourceRow* row) {
    if (!m_sheet)
        return;
    using namespace sheet;
    const auto write = [this, row](const char* category, const char* item, const QString& value) {
        const QString c = QString::fromLatin1(category);
        const QString i = QString::fromLatin1(item);
        m_sheet->setValue(c, i, row ? value : defaultValue(c, i));
    };
    write(kGeneral, kItemName, row ? row->path : QString());
    write(kOutputDuration, kAllClipDuration, QString());
    const auto shown = [row](SourceListModel::Column column) {
        return row ? SourceListModel::text(*row, column) : QString();
    };
    write(kOutputDuration, kStartTime, shown(SourceListModel::StartColumn));
    write(kOutputDuration, kStopTime, shown(SourceListModel::EndColumn));
}

void SourceListView::requestVideoClip() {
    const int index = selectedRow();
    if (index < 0)
        return;
    const SourceRow row = m_rows.at(index);
    Q_EMIT previewQuitRequested();
    Q_EMIT videoClipRequested({row.id, row.path,
                               SourceListModel::text(row, SourceListModel::StartColumn),
                               SourceListModel::text(row, SourceListModel::EndColumn),
                               SourceListModel::text(row, SourceListModel::VideoTimeColumn)});
}

void SourceListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        m_contextMenu->popup(event->globalPosition().toPoint());
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

// The address list keeps a name's bytes in its %-escapes, which QUrl would decode as UTF-8.
void SourceListView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    const QString uriList = QStringLiteral("text/uri-list");
    QStringList problems;
    const QStringList paths = m_standIns && mime && mime->hasFormat(uriList)
                                  ? filesFromUriList(mime->data(uriList), *m_standIns, &problems)
                                  : droppedPaths(mime);
    if (paths.isEmpty() && problems.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    if (!problems.isEmpty())
        showMessage(QMessageBox::Warning, problems.join(QLatin1Char('\n')));
    dropFiles(paths);
}

} // namespace mirelo
