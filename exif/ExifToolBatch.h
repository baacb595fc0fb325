#pragma once

#include "exif/ExifInfo.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class QProcess;

namespace tarvello::exif {

// One exiftool kept running for many photographs (batch mode): started with
// "-stay_open True -@ argument file", it reads requests appended to the
// argument file (the photograph's path, then "-execute" and the request's
// number) and prints each answer ended by "{readyN}". What it prints goes to
// the Exif output file as it arrives; the answers are read from the pipe
// itself, so that waiting for one costs nothing.
//
// Requests may be sent ahead of the reads that will need them, a few at a
// time, so that exiftool never waits for the reader between photographs.
class ExifToolBatch
{
public:
    struct Options {
        QString program;
        QString argumentFile;
        QString outputFile;
        // Silent this long, the tool is restarted and the request sent again,
        // at most attempts times in all.
        std::chrono::milliseconds silence{5000};
        int attempts = 3;
        // How long a stopping tool may take to end before it is killed.
        std::chrono::milliseconds stopWait{2000};
        // The tool is restarted once the request counter passes this.
        int restartAfter = 500;
        // The longest wait for one answer, however busy the tool looks.
        std::chrono::milliseconds timeout{60000};
        // The number of the first request.
        int counter = 0;
    };


    explicit ExifToolBatch(Options options);
    // Stops the tool.
    ~ExifToolBatch();
    ExifToolBatch(const ExifToolBatch &) = delete;
    ExifToolBatch &operator=(const ExifToolBatch &) = delete;

    // Empties the argument file and starts the tool; false when it cannot start.
    bool start();
    // Asks the tool to end (two lines "-stay_open" and "false") and waits for it.
    void stop();
    bool running() const { return m_running; }
    // The number the next request carries.
    int counter() const { return m_counter; }

    // Photographs whose answers will be asked for soon, in that order.
    void sendAhead(const QStringList &paths);
    // The answer for the photograph, asking for it if need be; nothing when
    // the tool stopped or stayed silent each time it was asked.
    std::optional<ExifInfo> read(const QString &path);
    // Drops the answers kept and the requests not sent yet.
    void forget();

private:
    struct Request {
        int number;
        QString path;
    };

    bool send(const QStringList &paths);
    void fill();
    bool receiveUntil(const QString &path);
    bool takeAnswers();
    void restart();
    void requeueInFlight();
    void wake();

    Options m_options;
    std::unique_ptr<QProcess> m_process;
    bool m_running = false;
    int m_counter = 0;
    QFile m_output;
    // What the tool printed and is not yet cut into answers.
    QByteArray m_received;
    QStringList m_queue;
    QList<Request> m_inFlight;
    QHash<QString, ExifInfo> m_answers;
};

} // namespace tarvello::exif
