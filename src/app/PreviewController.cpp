#include "app/PreviewController.h"

#include "app/MainWindow.h"
#include "app/PreviewFrame.h"
#include "clip/ui/ClipEditor.h"
#include "player/PlayerKeys.h"
#include "player/PreviewPlayer.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/VideoSurface.h"

#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace mirelo {

namespace {

PreviewWidgets previewWidgets(const MainWindow& window) {
    const PreviewFrame* frame = window.preview();
    PreviewWidgets w;
    w.video = frame->videoSurface();
    w.play = frame->playButton();
    w.pause = frame->pauseButton();
    w.stop = frame->stopButton();
    w.back = frame->backButton();
    w.forward = frame->forwardButton();
    w.firstFrame = frame->firstFrameButton();
    w.lastFrames = frame->lastFramesButton();
    w.position = frame->positionSlider();
    w.currentTime = frame->currentTimeLabel();
    w.totalTime = frame->totalTimeLabel();
    w.clock = window.previewClock();
    return w;
}

} // namespace

PreviewController::PreviewController(MainWindow& window, PreviewPlayer& player)
    : QObject(&window), m_window(window), m_player(player) {
    m_presenter = messageBoxesOver(&m_window);
    m_controls = new PreviewControls(player, previewWidgets(window), this);
    SourceListView* list = window.sourceList();
    m_controls->setPlaySource([list]() -> std::optional<PlayItem> {
        const SourceListModel& rows = list->rows();
        if (rows.rowCount() == 0)
            return std::nullopt;
        const SourceRow& row = rows.at(std::max(0, list->selectedRow()));
        return PlayItem{row.path, SourceListModel::text(row, SourceListModel::VideoTimeColumn)};
    });
    // The play command's action, wherever it is given, ends in the window's request.
    connect(&window, &MainWindow::playRequested, this, &PreviewController::playSelected);
    connect(list, &SourceListView::currentFileChanged, this,
            [this](const QString& path) { m_controls->transport().setCurrentFile(path); });
    connect(list, &SourceListView::previewQuitRequested, this, &PreviewController::quitPreview);
    connect(list, &SourceListView::videoClipRequested, this,
            [this](const SourceListView::ClipRequest& r) {
                openClipEditor(r.id, r.file, r.start, r.end, r.videoTime);
            });
    connect(&window, &MainWindow::closing, this, &PreviewController::stopForClosing);
    connect(&player, &PreviewPlayer::startFailed, this,
            [this](const QString& message) { m_presenter(QMessageBox::Warning, message); });
}

PreviewController::~PreviewController() = default;

void PreviewController::playSelected() {
    m_controls->play();
}

void PreviewController::quitPreview() {
    if (m_player.playerProcessId() != 0)
        PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
    // The clock would otherwise keep counting the shared position (the editor starts it at 0).
    m_controls->transport().stopClock();
}

void PreviewController::openClipEditor(RowId id, const QString& file, const QString& start,
                                       const QString& end, const QString& videoTime) {
    if (m_editor)
        return;
    m_player.setPlayPosition(0);
    m_player.setPlayLength(0);
    m_editor = new ClipEditor(m_player, file, ClipTimes{start, end, videoTime},
                              m_window.paths().skinFile, &m_window);
    m_editor->setAttribute(Qt::WA_DeleteOnClose);
    // The row is found by its id: rows added or removed meanwhile do not matter.
    SourceListModel* rows = m_window.sourceListModel();
    connect(m_editor, &ClipEditor::clipTimesAccepted, rows,
            [rows, id](int start, int end) { rows->setClipTimes(id, start, end); });
    connect(m_editor, &QDialog::finished, this, [this] { m_editor = nullptr; });
    m_editor->show();
}

void PreviewController::stopForClosing() {
    m_controls->transport().stopClock();
    m_player.stopAll();
}

} // namespace mirelo
