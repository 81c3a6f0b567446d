#pragma once

#include "tools/MediaInfo.h"
#include "tools/MediaProbe.h"

#include <QMessageBox>
#include <QStringList>
#include <QTreeWidget>

#include <functional>

class QFileDialog;
class QMenu;

namespace mirelo {

class OptionSheet;
class ProbeQueue;

// The source list lvwAudioTracks: one row per media file to convert, in adding order.
// Columns: File Name, Start, End, Size, Format, Status, Video Time. Each row carries a hidden tag
// (TagRole of column 0) holding the same full path as its text.
//
// Rows are numbered from 0 in list order. Every added file is probed with the media player;
// probes run concurrently (at most one per core) and a row still being probed is shown greyed,
// with only its file name filled.
class SourceListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column {
        FileNameColumn = 0,
        StartColumn,
        EndColumn,
        SizeColumn,
        FormatColumn,
        StatusColumn,
        VideoTimeColumn,
        ColumnCount
    };
    static constexpr int TagRole = Qt::UserRole;

    // What the clip editor needs when a row is double-clicked or "Video Clip" is chosen.
    struct ClipRequest {
        int row = -1;
        QString file;  // CurrentClipFile
        QString start; // ClipTimes: "Start", "End", "Video Time" of the row
        QString end;
        QString videoTime;
    };

    // Shows a message titled with the application title. The default is a window-modal
    // QMessageBox that does not block the caller; tests install a recorder.
    using MessagePresenter = std::function<void(QMessageBox::Icon, const QString& text)>;

    explicit SourceListView(QWidget* parent = nullptr);
    ~SourceListView() override;

    // The option sheet PS1 that a click writes the row into (may be null: nothing is written).
    void setOptionSheet(OptionSheet* sheet) { m_sheet = sheet; }
    void setMessagePresenter(MessagePresenter presenter);
    // The probes behind the list (concurrency, player program).
    ProbeQueue& probeQueue() { return *m_probes; }

    // AddMediaFile: appends a row for the path and starts its probe.
    void addMediaFile(const QString& path);
    // Adds every file in order (the dialog's and the command's path).
    void addFiles(const QStringList& paths);
    // "Add Files": opens the dialog CommonDialog1 (window-modal, not blocking); the chosen files
    // are added when it is accepted, nothing when it is cancelled.
    void addFilesWithDialog();
    // Files dropped on the list: each accepted one is added in order; the first rejected one
    // shows "Only Video files are allowed!" and ends the drop.
    void dropFiles(const QStringList& paths);
    // Removes the selected row (nothing when none is selected); no confirmation.
    void removeSelected();
    // Removes every row; no confirmation.
    void clearAll();

    // The click: CurrentFile and the sheet's "Item Name", "All Clip Duration", "Start Time",
    // "Stop Time" from the selected row. Does nothing on an empty list.
    void showSelectedInSheet();
    // The double-click and the "Video Clip" commands: previewQuitRequested(), then
    // videoClipRequested() for the selected row. Does nothing on an empty list.
    void requestVideoClip();

    // Row access for the conversion and the clip editor.
    int rowCount() const { return topLevelItemCount(); }
    int selectedRow() const;
    QString path(int row) const;
    QString start(int row) const { return cell(row, StartColumn); }
    QString end(int row) const { return cell(row, EndColumn); }
    QString size(int row) const { return cell(row, SizeColumn); }
    QString format(int row) const { return cell(row, FormatColumn); }
    QString status(int row) const { return cell(row, StatusColumn); }
    QString videoTime(int row) const { return cell(row, VideoTimeColumn); }
    // The "Status" column (the conversion's); the tool tip can carry the encoder's last lines.
    void setStatus(int row, const QString& text, const QString& toolTip = QString());
    // The clip editor's result.
    void setClipTimes(int row, const QString& start, const QString& end);
    bool isProbed(int row) const;
    // True while any row still waits for its probe.
    bool isProbing() const;

    // The path of the row clicked last (empty at start).
    QString currentFile() const { return m_currentFile; }

    QMenu* contextMenu() const { return m_popup; }
    // The open dialog, once "Add Files" has been used (null before).
    QFileDialog* openDialog() const { return m_dialog; }

Q_SIGNALS:
    void currentFileChanged(const QString& path);
    // The preview player, if running, should get its quit key (before the clip editor opens).
    void previewQuitRequested();
    void videoClipRequested(const mirelo::SourceListView::ClipRequest& request);
    // Context menu entries whose windows live elsewhere.
    void convertRequested();
    void playRequested();
    void captureRequested();
    void importRequested();
    // One row's probe ended and its columns are filled.
    void rowProbed(int row);
    // No row waits for its probe any more.
    void probingFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setUpColumns();
    void setUpContextMenu();
    QTreeWidgetItem* row(int index) const;
    QString cell(int index, Column column) const;
    void setProbing(QTreeWidgetItem* item, bool probing);
    void onProbed(quint64 ticket, const mirelo::MediaInfo& info);
    void cancelProbe(QTreeWidgetItem* item);
    void showMessage(QMessageBox::Icon icon, const QString& text);

    OptionSheet* m_sheet = nullptr;
    ProbeQueue* m_probes = nullptr;
    QMenu* m_popup = nullptr;
    QFileDialog* m_dialog = nullptr;
    MessagePresenter m_presenter;
    QString m_currentFile;
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::SourceListView::ClipRequest)
