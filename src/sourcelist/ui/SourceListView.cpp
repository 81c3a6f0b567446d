#include "sourcelist/ui/SourceListView.h"

#include "platform/Twips.h"
#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"
#include "sourcelist/SourceFiles.h"
#include "tools/ProbeQueue.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace mirelo {

namespace {

const char kApplicationTitle[] = "Mirelo Video Converter";
// The row's probe ticket while it waits for its probe; absent once probed.
constexpr int kProbeTicketRole = Qt::UserRole + 1;

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

void presentMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    auto* box = new QMessageBox(icon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                                parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

SourceListView::SourceListView(QWidget* parent)
    : QTreeWidget(parent), m_probes(new ProbeQueue(this)) {
    setObjectName(QStringLiteral("lvwAudioTracks"));
    setUpColumns();
    setUpContextMenu();
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    m_presenter = [this](QMessageBox::Icon icon, const QString& text) {
        presentMessageBox(this, icon, text);
    };
    connect(this, &QTreeWidget::itemClicked, this, &SourceListView::showSelectedInSheet);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &SourceListView::requestVideoClip);
    connect(
        m_probes, &ProbeQueue::probed, this,
        [this](quint64 ticket, const QString&, const MediaInfo& info) { onProbed(ticket, info); });
    connect(m_probes, &ProbeQueue::playerMissing, this,
            [this](const QString& message) { showMessage(QMessageBox::Critical, message); });
    connect(m_probes, &ProbeQueue::idle, this, &SourceListView::probingFinished);
}

SourceListView::~SourceListView() {
    m_probes->cancelAll();
}

void SourceListView::setUpColumns() {
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

void SourceListView::addMediaFile(const QString& path) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(FileNameColumn, path);
    item->setData(FileNameColumn, TagRole, path);
    for (int c = 0; c < ColumnCount; ++c)
        item->setTextAlignment(c, kColumns[c].align | Qt::AlignVCenter);
    item->setData(FileNameColumn, kProbeTicketRole, m_probes->enqueue(path));
    setProbing(item, true);
}

void SourceListView::addFiles(const QStringList& paths) {
    for (const QString& path : paths)
        addMediaFile(path);
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
        addMediaFile(path);
    }
}

void SourceListView::removeSelected() {
    const int index = selectedRow();
    if (index < 0)
        return;
    QTreeWidgetItem* item = takeTopLevelItem(index);
    cancelProbe(item);
    delete item;
}

void SourceListView::clearAll() {
    m_probes->cancelAll();
    clear();
}

void SourceListView::cancelProbe(QTreeWidgetItem* item) {
    const QVariant ticket = item->data(FileNameColumn, kProbeTicketRole);
    if (ticket.isValid())
        m_probes->cancel(ticket.toULongLong());
}

int SourceListView::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

QTreeWidgetItem* SourceListView::row(int index) const {
    return topLevelItem(index);
}

QString SourceListView::cell(int index, Column column) const {
    const QTreeWidgetItem* item = row(index);
    return item ? item->text(column) : QString();
}

QString SourceListView::path(int index) const {
    return cell(index, FileNameColumn);
}

void SourceListView::setStatus(int index, const QString& text, const QString& toolTip) {
    if (QTreeWidgetItem* item = row(index)) {
        item->setText(StatusColumn, text);
        item->setToolTip(StatusColumn, toolTip);
    }
}

void SourceListView::setClipTimes(int index, const QString& start, const QString& end) {
    if (QTreeWidgetItem* item = row(index)) {
        item->setText(StartColumn, start);
        item->setText(EndColumn, end);
    }
}

bool SourceListView::isProbed(int index) const {
    const QTreeWidgetItem* item = row(index);
    return item && !item->data(FileNameColumn, kProbeTicketRole).isValid();
}

bool SourceListView::isProbing() const {
    for (int i = 0; i < rowCount(); ++i) {
        if (!isProbed(i))
            return true;
    }
    return false;
}

void SourceListView::setProbing(QTreeWidgetItem* item, bool probing) {
    const QVariant grey =
        probing ? QVariant(palette().brush(QPalette::Disabled, QPalette::Text)) : QVariant();
    for (int c = 0; c < ColumnCount; ++c)
        item->setData(c, Qt::ForegroundRole, grey);
    item->setToolTip(FileNameColumn,
                     probing ? tr("Reading the file's size, format and length...") : QString());
}

void SourceListView::onProbed(quint64 ticket, const MediaInfo& info) {
    for (int i = 0; i < rowCount(); ++i) {
        QTreeWidgetItem* item = row(i);
        const QVariant t = item->data(FileNameColumn, kProbeTicketRole);
        if (!t.isValid() || t.toULongLong() != ticket)
            continue;
        const ProbeColumns columns = probeColumns(info);
        item->setText(StartColumn, columns.start);
        item->setText(EndColumn, columns.end);
        item->setText(SizeColumn, columns.size);
        item->setText(FormatColumn, columns.format);
        item->setText(VideoTimeColumn, columns.videoTime);
        item->setData(FileNameColumn, kProbeTicketRole, QVariant());
        setProbing(item, false);
        Q_EMIT rowProbed(i);
        return;
    }
}

void SourceListView::showSelectedInSheet() {
    const int index = selectedRow();
    if (rowCount() == 0 || index < 0)
        return;
    m_currentFile = path(index);
    Q_EMIT currentFileChanged(m_currentFile);
    if (!m_sheet)
        return;
    using namespace sheet;
    const auto latin = [](const char* s) { return QString::fromLatin1(s); };
    m_sheet->setValue(latin(kGeneral), latin(kItemName), m_currentFile);
    m_sheet->setValue(latin(kOutputDuration), latin(kAllClipDuration), QString());
    m_sheet->setValue(latin(kOutputDuration), latin(kStartTime), start(index));
    m_sheet->setValue(latin(kOutputDuration), latin(kStopTime), end(index));
}

void SourceListView::requestVideoClip() {
    const int index = selectedRow();
    if (rowCount() == 0 || index < 0)
        return;
    Q_EMIT previewQuitRequested();
    Q_EMIT videoClipRequested({index, path(index), start(index), end(index), videoTime(index)});
}

void SourceListView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
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
