#include "filelist/ui/PictureLoader.h"

#include "common/Zub.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

namespace tarvello::filelist {

namespace {

// The longest the hand-back of pictures keeps the loader's thread at a time.
constexpr qint64 kHandBackSliceMs = 8;

// The clockwise turn of a stored orientation, as exiftool words it: the
// mirrored ones read "Mirror horizontal and rotate 270 CW" and the like, and
// "Mirror vertical" is a mirror turned half round.
int angleOf(QImageIOHandler::Transformations t)
{
    const bool flip = t.testFlag(QImageIOHandler::TransformationFlip);
    if (t.testFlag(QImageIOHandler::TransformationRotate90))
        return flip ? 270 : 90;
    return flip ? 180 : 0;
}

QString cacheKey(const QString &path, const QDateTime &modified, QSize box)
{
    return QStringLiteral("%1x%2|%3|").arg(box.width()).arg(box.height()).arg(modified.toMSecsSinceEpoch()) + path;
}

} // namespace

bool hasPictureExtension(const QString &fileName, const QString &extensions)
{
    const QString extension = common::ZubGetExtension(fileName);
    if (extension.isEmpty())
        return false;
    const QStringList listed = extensions.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return listed.contains(extension, Qt::CaseInsensitive);
}

Picture loadPicture(const QString &path, QSize box)
{
    Picture picture;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || box.isEmpty())
        return picture;
    const QImageIOHandler::Transformations turn = reader.transformation();
    const bool sideways = turn.testFlag(QImageIOHandler::TransformationRotate90);
    picture.angle = angleOf(turn);
    // Scaled while decoding (a JPEG decodes at a fraction of its size), in
    // the stored orientation: the box stands on its side for a picture that
    // is turned a quarter afterwards.
    const QSize fitted = stored.scaled(sideways ? box.transposed() : box, Qt::KeepAspectRatio);
    if (fitted.width() < stored.width())
        reader.setScaledSize(fitted.expandedTo(QSize(1, 1)));
    picture.image = reader.read();
    if (picture.image.isNull())
        picture.angle = 0;
    return picture;
}

PictureLoader::PictureLoader(qint64 cacheBytes, QObject *parent)
    : QObject(parent)
{
    m_cache.setMaxCost(cacheBytes);
    // One core is left to the window's thread.
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

PictureLoader::~PictureLoader()
{
    m_pool.clear();
    m_pool.waitForDone();
}

quint64 PictureLoader::request(const QString &path, QSize box)
{
    const quint64 ticket = ++m_nextTicket;
    const quint64 generation = m_generation.load();
    m_pool.start([this, generation, ticket, path, box] {
        if (generation != m_generation.load())
            return;
        deliver({generation, ticket, path, cachedOrLoaded(path, box)});
    });
    return ticket;
}

void PictureLoader::cancelAll()
{
    ++m_generation;
    m_pool.clear();
    QMutexLocker lock(&m_doneLock);
    m_done.clear();
}

Picture PictureLoader::cachedOrLoaded(const QString &path, QSize box)
{
    const QString key = cacheKey(path, QFileInfo(path).lastModified(), box);
    {
        QMutexLocker lock(&m_cacheLock);
        if (const Picture *kept = m_cache.object(key))
            return *kept;
    }
    Picture picture = loadPicture(path, box);
    QMutexLocker lock(&m_cacheLock);
    m_cache.insert(key, new Picture(picture), std::max<qint64>(1, picture.image.sizeInBytes()));
    return picture;
}

void PictureLoader::deliver(Done done)
{
    QMutexLocker lock(&m_doneLock);
    m_done.append(std::move(done));
    if (!std::exchange(m_handBackDue, true))
        QMetaObject::invokeMethod(this, &PictureLoader::handBack, Qt::QueuedConnection);
}

void PictureLoader::handBack()
{
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        Done done;
        {
            QMutexLocker lock(&m_doneLock);
            if (m_done.isEmpty()) {
                m_handBackDue = false;
                return;
            }
            if (slice.elapsed() >= kHandBackSliceMs) {
                // The rest after the window's timers and input.
                QTimer::singleShot(0, this, &PictureLoader::handBack);
                return;
            }
            done = m_done.takeFirst();
        }
        if (done.generation == m_generation.load())
            emit ready(done.ticket, done.path, done.picture);
    }
}

} // namespace tarvello::filelist
