#pragma once

#include "update/UpdateCheck.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::update {
class PackageDownload;
}

namespace tarvello::updatewindow {

// The update dialog: the new version and its release notes, and the offer to
// fetch its package. The package is downloaded with progress into the
// private temporary folder and checked against its published SHA-256; only
// then is it handed to the desktop's package installer, which asks the user
// in its turn. The program never runs it.
class frmMiseAJour : public QDialog
{
    Q_OBJECT
public:
    frmMiseAJour(app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent = nullptr);
    ~frmMiseAJour() override;

    // Shows the offer: the version after Label(0)'s caption, the notes in Text1.
    void setOffer(const update::UpdateOffer &offer);

    // Opens the help at a topic (cmdAide).
    std::function<void(int topic)> showHelp;
    // Hands a checked package to the desktop's package installer; false when
    // nothing took it. Tests put their own.
    std::function<bool(const QString &path)> openPackage;
    // Opens the site in the browser.
    std::function<bool(const QString &url)> openUrl;
    // A transfer silent for this long is given up.
    int timeoutMs = 30000;

    // Closing the dialog stops a download and deletes what it wrote.
    void reject() override;

private:
    void cmdSuivant_Click();
    void showProgress(qint64 received, qint64 expected);
    void downloadFinished();
    void failed(const QString &reason);

    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    update::UpdateOffer m_offer;
    QLabel *m_version = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QLabel *m_progressLabel = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_next = nullptr;
    QString m_progressPrefix;
    std::unique_ptr<update::PackageDownload> m_download;
};

} // namespace tarvello::updatewindow
