#pragma once

#include "ui/MessageBoxes.h"

#include "sourcelist/SourceListModel.h"

#include <QStringList>
#include <QTreeView>

#include <functional>

class QFileDialog;
class QMenu;

namespace mirelo {

class OptionSheet;
class StandInLinks;

// The source list lvwAudioTracks: the rows of a SourceListModel, one per media file, in adding
// order, with the list's commands (add, drop, remove, clear, the context menu) and the click
// and double-click actions. A row still being probed is shown greyed.
class SourceListView : public QTreeView {
    Q_OBJECT
public:
    // What the clip editor needs when a row is double-clicked or "Video Clip" is chosen.
    struct ClipRequest {
        RowId id = 0;
        QString file;  // CurrentClipFile
        QString start; // ClipTimes: "Start", "End", "Video Time" of the row
        QString end;
        QString videoTime;
    };

    // Shows a message; the default is a message box over the list, tests install a recorder.

    explicit SourceListView(SourceListModel& rows, QWidget* parent = nullptr);

    SourceListModel& rows() const { return m_rows; }

    // The option sheet PS1 that a click writes the row into (may be null: nothing is written).
    void setOptionSheet(OptionSheet* sheet) { m_sheet = sheet; }
    void setMessagePresenter(MessagePresenter presenter);

    // Adds every file in order (the command's path).
    void addFiles(const QStringList& paths);
    // Files chosen or typed in the open dialog: each one that exists as a readable file is added
    // in order; the others are named, with the reason, in one message.
    void addChosenFiles(const QStringList& paths);
    // The file (window.dat) that keeps the folder "Add Files" opened in last; empty: none kept.
    void setLastFolderFile(const QString& file) { m_lastFolderFile = file; }
    // "Add Files": opens the dialog CommonDialog1 (window-modal, not blocking); the chosen files
    // are added when it is accepted, nothing when it is cancelled.
    void addFilesWithDialog();
    // Files dropped on the list: each accepted one is added in order; the first rejected one
    // shows "Only Video files are allowed!" and ends the drop.
    void dropFiles(const QStringList& paths);
    // Where dropped files whose names are not UTF-8 get their stand-in links; none: such names
    // reach the list as Qt decodes them.
    void setStandIns(StandInLinks* links) { m_standIns = links; }
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

    // The selected row's position, -1 when none is selected.
    int selectedRow() const;

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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setUpColumns();
    int fittingWidth(int column, bool withSample) const;
    void fitColumns();
    void setUpContextMenu();
    void showMessage(QMessageBox::Icon icon, const QString& text);
    void keepSheetInStep();
    QString lastFolder() const;
    void writeSheetRowItems(const SourceRow* row);

    SourceListModel& m_rows;
    OptionSheet* m_sheet = nullptr;
    QMenu* m_popup = nullptr;
    QFileDialog* m_dialog = nullptr;
    MessagePresenter m_presenter;
    QString m_currentFile;
    QString m_lastFolderFile;
    StandInLinks* m_standIns = nullptr;
    RowId m_sheetRow = 0; // the row the sheet's row items show; 0: none
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::SourceListView::ClipRequest)
