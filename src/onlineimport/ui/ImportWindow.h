#pragma once

#include "onlineimport/ImportSession.h"
#include "platform/ui/DesktopNotifier.h"
#include "settings/AppSettings.h"

#include <QDialog>
#include <QPoint>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QMessageBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace mirelo {

class StreamPreviewPlayer;
class Transfer;

// The import window: fetches a watch page, shows its details and thumbnail, and downloads or
// previews one of its streams. A page in the classic watch-page layout is read by the product's
// own parser; any other page is read, downloaded and previewed through yt-dlp. Opened modally from
// the main window ("Import Video From Youtube"): `ImportWindow(skinFile, this).exec()`.
class ImportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ImportWindow(QWidget* parent = nullptr) : ImportWindow(QString(), parent) {}
    // With the product's skin (a missing file leaves the default look), applied before the
    // controls are laid out so that they are sized in it.
    explicit ImportWindow(const QString& skinFile, QWidget* parent = nullptr);
    ~ImportWindow() override;

    // Plays the stream at `address` in the preview panel's player.
    void playInPreview(const QString& address);

    // The embedded player of the preview panel (not owned); it draws into previewSurface().
    void setPreviewPlayer(StreamPreviewPlayer* player) { m_player = player; }
    QWidget* previewSurface() const { return m_previewSurface; }

    // Where downloads and the "Cache" folder go; by default importFolder().
    void setStorageFolder(const QString& folder) { m_storageFolder = folder; }
    QString storageFolder() const { return m_storageFolder; }

    // Where the yt-dlp program is chosen; by default the application's settings.
    void setSettings(const AppSettings& settings) { m_session->setSettings(settings); }
    // Told when a download ends, except one the user cancelled.
    void setEndNotice(EndNotice notice) { m_endNotice = std::move(notice); }

    // The import the window drives: the page it read and the download running.
    ImportSession& session() { return *m_session; }
    Transfer& pageTransfer() { return m_session->pageTransfer(); }
    Transfer& thumbnailTransfer() { return *m_thumbnailTransfer; }

Q_SIGNALS:
    // "Get Direct Link" has run all its steps.
    void directLinkFinished();
    void downloadFinished(bool ok);

public Q_SLOTS:
    // A read or a download still running is stopped first (a download's partial files go); the
    // window closes once it has ended.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The building of the controls and the placing of the preview panel (ImportWindowLayout.cpp).
    void buildControls();
    QWidget* buildPagePanel();
    void addDetails(QGridLayout* grid);
    QLayout* buildStreamButtons();
    void buildPreviewPanel();
    void movePreviewPanel(int leftTwips, int topTwips);
    void hidePreviewPanel();

    void showDetailCaptions();
    void connectControls();
    void connectSession();

    void readPage();
    void showReader(PageReader reader);
    void showPage(const ImportPage& page);
    void showPageFields();
    void afterReadFailed(const ImportSession::Outcome& outcome);
    void showNoPage();
    void enableFormatButtons(const QList<int>& codes);
    void downloadOrPlay(const StreamFormat& format);
    void previewBestStream();
    void downloadStream(const StreamFormat& format);
    void showProgress(int percent);
    void afterDownload(const ImportSession::Outcome& outcome);
    void showTransferState(int state);
    void showPicture(const QString& path);
    QMessageBox* showMessage(const QString& title, const QString& text, int buttons);
    void tellDownloadEnd(bool ok, const QString& file, const QString& error);

    ImportSession* m_session;
    Transfer* m_thumbnailTransfer;
    StreamPreviewPlayer* m_player = nullptr;
    EndNotice m_endNotice;
    QString m_storageFolder;
    bool m_dragging = false;
    QPoint m_dragOffset;

    QWidget* m_pagePanel = nullptr;
    QLabel* m_addressPrompt = nullptr;
    QLineEdit* m_pageAddress = nullptr;
    QPushButton* m_getDirectLink = nullptr;
    QLabel* m_thumbnail = nullptr;
    QLabel* m_videoTitle = nullptr;
    QLabel* m_author = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QLabel* m_category = nullptr;
    QLabel* m_published = nullptr;
    QLabel* m_duration = nullptr;
    QLabel* m_rating = nullptr;
    QLabel* m_downloadPercent = nullptr;
    QProgressBar* m_downloadBar = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_pageReader = nullptr;
    QGroupBox* m_previewPanel = nullptr;
    QWidget* m_previewSurface = nullptr;
    QLabel* m_closePreview = nullptr;
    QMap<int, QPushButton*> m_formatButtons;
};

} // namespace mirelo
