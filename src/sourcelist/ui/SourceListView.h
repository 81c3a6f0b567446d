#pragma once

#include "ui/MessageBoxes.h"

#include "sourcelist/SourceListModel.h"

#include <QList>
#include <QStringList>
#include <QTreeView>

#include <functional>

class QAction;
class QFileDialog;
class QMenu;

namespace mirelo {

class OptionSheet;
class StandInLinks;

// The source list: the rows of a SourceListModel, one per media file, in adding order, with the
// list's own commands (add, drop, remove, clear), a context menu of the window's commands, and
// the click and double-click actions. A row still being probed is shown greyed.
class SourceListView : public QTreeView {
    Q_OBJECT
public:
    // What the clip editor needs when a row is double-clicked or "Video Clip" is chosen.
    struct ClipRequest {
        RowId id = 0;
        QString file;  // the row's media file
        QString start; // the row's "Start", "End" and "Video Time"
        QString end;
        QString videoTime;
    };

    explicit SourceListView(SourceListModel& rows, QWidget* parent = nullptr);

    SourceListModel& rows() const { return m_rows; }

    // The option sheet that a click writes the row into (may be null: nothing is written).
    void setOptionSheet(OptionSheet* sheet) { m_sheet = sheet; }
    // Shows a message; the default is a message box over the list, tests install a recorder.
    void setMessagePresenter(MessagePresenter presenter);

    // Adds every file in order (the command's path).
    void addFiles(const QStringList& paths);
    // Files chosen or typed in the open dialog: each one that exists as a readable file is added
    // in order; the others are named, with the reason, in one message.
    void addChosenFiles(const QStringList& paths);
    // The file (window.dat) that keeps the folder "Add Files" opened in last; empty: none kept.
    void setLastFolderFile(const QString& file) { m_lastFolderFile = file; }
    // "Add Files": opens the open dialog (window-modal, not blocking); the chosen files are added
    // when it is accepted, nothing when it is cancelled.
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

    // The click: the current file and the sheet's "Item Name", "All Clip Duration", "Start Time",
    // "Stop Time" from the selected row. Does nothing on an empty list.
    void showSelectedInSheet();
    // The double-click and the "Video Clip" commands: previewQuitRequested(), then
    // videoClipRequested() for the selected row. Does nothing on an empty list.
    void requestVideoClip();

    // The selected row's position, -1 when none is selected.
    int selectedRow() const;

    // The path of the row clicked last (empty at start).
    QString currentFile() const { return m_currentFile; }

    // The context menu shows `actions` in order, a separator action as a separator. They are
    // the window's commands; the list does not own them.
    void setContextActions(const QList<QAction*>& actions);
    QMenu* contextMenu() const { return m_contextMenu; }
    // The open dialog, once "Add Files" has been used (null before).
    QFileDialog* openDialog() const { return m_dialog; }

Q_SIGNALS:
    void currentFileChanged(const QString& path);
    // The preview player, if running, should get its quit key (before the clip editor opens).
    void previewQuitRequested();
    void videoClipRequested(const mirelo::SourceListView::ClipRequest& request);

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
    void showMessage(QMessageBox::Icon icon, const QString& text);
    void keepSheetInStep();
    QString lastFolder() const;
    void writeSheetRowItems(const SourceRow* row);

    SourceListModel& m_rows;
    OptionSheet* m_sheet = nullptr;
    QMenu* m_contextMenu = nullptr;
    QFileDialog* m_dialog = nullptr;
    MessagePresenter m_presenter;
    QString m_currentFile;
    QString m_lastFolderFile;
    StandInLinks* m_standIns = nullptr;
    RowId m_sheetRow = 0; // the row the sheet's row items show; 0: none
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::SourceListView::ClipRequest)
