#pragma once

#include "ui/MessageBoxes.h"

#include "player/ui/PreviewControls.h"
#include "sourcelist/SourceListModel.h"

#include <QObject>

#include <functional>

namespace mirelo {

class MainWindow;
class ClipEditor;
class PreviewPlayer;

// Gives the main window's preview its behaviour and connects it to the source list: Play plays the
// selected row, a click makes its row the transport's current file, a double-click or "Video Clip"
// quits the preview and opens the clip editor, whose times go back into the row. Closing the window
// stops the player.
class PreviewController : public QObject {
    Q_OBJECT
public:
    PreviewController(MainWindow& window, PreviewPlayer& player);
    ~PreviewController() override;

    PreviewControls& controls() { return *m_controls; }
    // The clip editor while it is open (null otherwise).
    ClipEditor* clipEditor() const { return m_editor; }
    void setMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }

    // The "Play Selected File" command and the preview's play button.
    void playSelected();
    // The double-click and the "Video Clip" command, once the list has asked for them.
    void openClipEditor(RowId id, const QString& file, const QString& start, const QString& end,
                        const QString& videoTime);

private:
    // Before the clip editor opens and before a conversion starts.
    void quitPreview();
    void stopForClosing();

    MainWindow& m_window;
    PreviewPlayer& m_player;
    PreviewControls* m_controls = nullptr;
    ClipEditor* m_editor = nullptr;
    MessagePresenter m_presenter;
};

} // namespace mirelo
