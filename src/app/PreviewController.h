#pragma once

#include "platform/ui/MessageBoxes.h"

#include "sourcelist/SourceListModel.h"
#include "tools/ui/PreviewControls.h"

#include <QObject>

#include <functional>

namespace mirelo {

class Form1;
class Form2;
class PreviewPlayer;

// Gives the main window's preview its behaviour and connects it to the source list: Play plays the
// selected row, a click sets CurrentFile, a double-click or "Video Clip" quits the preview and
// opens the clip editor, whose times go back into the row. Closing the window stops the player.
class PreviewController : public QObject {
    Q_OBJECT
public:
    PreviewController(Form1& window, PreviewPlayer& player);
    ~PreviewController() override;

    PreviewControls& controls() { return *m_controls; }
    // The clip editor while it is open (null otherwise).
    Form2* clipEditor() const { return m_editor; }
    void setMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }

    // The "Play Selected File" commands and cmdPlay.
    void playSelected();
    // The double-click and the "Video Clip" commands, once the list has asked for them.
    void openClipEditor(RowId id, const QString& file, const QString& start, const QString& end,
                        const QString& videoTime);

private:
    // Before the clip editor opens and before a conversion starts.
    void quitPreview();
    void stopForClosing();

    Form1& m_window;
    PreviewPlayer& m_player;
    PreviewControls* m_controls = nullptr;
    Form2* m_editor = nullptr;
    MessagePresenter m_presenter;
};

} // namespace mirelo
