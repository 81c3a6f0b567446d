#pragma once

#include "onlineimport/StreamLinks.h"

#include <QDialog>
#include <QPoint>

#include <functional>

class QGroupBox;
class QLabel;
class QMessageBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace mirelo {

class StreamDownload;
class StreamPreviewPlayer;
class Transfer;

// The import window: fetches a watch page, shows its details and thumbnail, and downloads or
// previews one of its streams. Opened modally from the main window ("Import Video From
// Youtube"): `Formyutobe(this).exec()`.
class Formyutobe : public QDialog {
    Q_OBJECT
public:
    explicit Formyutobe(QWidget* parent = nullptr);
    ~Formyutobe() override;

    // Fetches the page at `url` without blocking; `done` gets its text, empty after a failure
    // (which has then been shown to the user).
    void LoadPage(const QString& url, std::function<void(const QString& page)> done);
    // Reads the page's stream links and enables the button of each format found; entries it had to
    // skip are shown with the page's other warnings once Get Direct Link has run.
    void GetURLs(const QString& page);
    // Plays `link` in the preview panel's player.
    void LoadFLVPlayer(const QString& link);

    // The embedded player of the preview panel (not owned); it draws into previewSurface().
    void setPreviewPlayer(StreamPreviewPlayer* player) { player_ = player; }
    QWidget* previewSurface() const { return swf_; }

    // Where downloads and the "Cache" folder go; by default importFolder().
    void setStorageFolder(const QString& folder) { storage_ = folder; }
    QString storageFolder() const { return storage_; }

    Transfer& pageTransfer() { return *inet1_; }
    Transfer& thumbnailTransfer() { return *inet2_; }

Q_SIGNALS:
    // "Get Direct Link" has run all its steps.
    void directLinkFinished();
    void downloadFinished(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildControls();
    void buildPreviewPanel();
    void connectControls();

    void cmdG_Click();
    void afterPageLoaded(const QString& page);
    void showThumbnailAndFields();
    void formatButton_Click(const StreamFormat& format);
    void cmdPR_Click();
    void DownloadToFile(const StreamFormat& format);
    void showStatus(int state);
    void showPicture(const QString& path);
    void movePreviewPanel(int leftTwips, int topTwips);
    QMessageBox* showMessage(const QString& title, const QString& text, int buttons);
    QString decodedLink(int code) const;

    Transfer* inet1_;
    Transfer* inet2_;
    StreamDownload* download_;
    StreamPreviewPlayer* player_ = nullptr;
    QString storage_;
    StreamLinks links_;
    QStringList pageWarnings_;
    bool readingPage_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;

    QWidget* frmDW_ = nullptr;
    QLabel* label1_ = nullptr;
    QLineEdit* txtWatchUrl_ = nullptr;
    QPushButton* cmdG_ = nullptr;
    QLabel* picTitle_ = nullptr;
    QLabel* lblTitle1_ = nullptr;
    QLabel* lblAuthor_ = nullptr;
    QPlainTextEdit* txtDesc_ = nullptr;
    QLabel* lblCat_ = nullptr;
    QLabel* lblPublished_ = nullptr;
    QLabel* lblDur_ = nullptr;
    QLabel* lblRating_ = nullptr;
    QLabel* label2_ = nullptr;
    QProgressBar* pbDownload_ = nullptr;
    QPushButton* cmdPR_ = nullptr;
    QPushButton* cmdCLose_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QGroupBox* frmPR_ = nullptr;
    QWidget* swf_ = nullptr;
    QLabel* label6_ = nullptr;
    QMap<int, QPushButton*> formatButtons_;
};

} // namespace mirelo
