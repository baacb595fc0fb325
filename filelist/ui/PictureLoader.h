#pragma once

#include <QCache>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>

namespace tarvello::filelist {

// A picture made to be shown in a box: upright, fitted into the box.
struct Picture {
    // Null when the file could not be read as a picture.
    QImage image;
    // Clockwise degrees the stored picture was turned to stand upright (0,
    // 90, 180 or 270), as its Exif orientation asks; a mirrored orientation
    // is also flipped, and gives the angle of its turn.
    int angle = 0;
};

// True when the file's extension is one of the space-separated list
// (Option_FormatExtensionVignette), case ignored.
bool hasPictureExtension(const QString &fileName, const QString &extensions);

// Reads a picture upright by its Exif orientation and scaled, keeping its
// proportions, to fit the box as it stands upright: a photograph stored on
// its side is decoded at the box's height by its width and then turned. A
// picture smaller than the box keeps its size.
Picture loadPicture(const QString &path, QSize box);

// Loads pictures on worker threads and hands them back on the thread the
// loader lives on, so that a folder of large photographs never holds the
// window up: pictures done together are handed back a few milliseconds'
// worth at a time, letting the window's other events run in between.
// Pictures already made are kept (by path, modification time and box, up to
// a number of bytes) and handed back without decoding again.
class PictureLoader : public QObject
{
    Q_OBJECT
public:
    explicit PictureLoader(qint64 cacheBytes = 96ll << 20, QObject *parent = nullptr);
    // Drops what is queued and waits for the pictures being decoded.
    ~PictureLoader() override;

    // Asks for the picture of a file fitted to a box. ready() brings it later
    // with the ticket returned here (never from within this call).
    quint64 request(const QString &path, QSize box);
    // Forgets every request not handed back yet: their pictures never come.
    void cancelAll();

signals:
    void ready(quint64 ticket, const QString &path, const tarvello::filelist::Picture &picture);

private:
    struct Done {
        quint64 generation = 0;
        quint64 ticket = 0;
        QString path;
        Picture picture;
    };

    void deliver(Done done);
    void handBack();
    Picture cachedOrLoaded(const QString &path, QSize box);

    QThreadPool m_pool;
    // Pictures done and not handed back yet; whether a hand-back is due.
    QMutex m_doneLock;
    QList<Done> m_done;
    bool m_handBackDue = false;
    QMutex m_cacheLock;
    QCache<QString, Picture> m_cache;
    quint64 m_nextTicket = 0;
    // Requests made before the last cancelAll() carry an older generation.
    std::atomic<quint64> m_generation{0};
};

} // namespace tarvello::filelist
