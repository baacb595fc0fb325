#include "exif/ExifToolBatch.h"

#include "exif/ExifParse.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <limits>

#include <signal.h>

namespace tarvello::exif {

namespace {

// Requests sent ahead and not yet answered, at most: enough for exiftool to
// find the next one waiting each time it finishes one.
constexpr int kInFlight = 32;

int milliseconds(std::chrono::milliseconds duration)
{
    return int(std::min<qint64>(duration.count(), std::numeric_limits<int>::max()));
}

} // namespace

ExifToolBatch::ExifToolBatch(Options options)
    : m_options(std::move(options))
    , m_counter(m_options.counter)
{
}

ExifToolBatch::~ExifToolBatch()
{
    stop();
}

bool ExifToolBatch::start()
{
    if (m_running)
        return true;
    QFile arguments(m_options.argumentFile);
    if (m_options.outputFile.isEmpty() || !arguments.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    arguments.close();
    m_output.setFileName(m_options.outputFile);
    if (!m_output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->start(m_options.program,
                     {QStringLiteral("-stay_open"), QStringLiteral("True"), QStringLiteral("-@"), m_options.argumentFile});
    if (!m_process->waitForStarted(milliseconds(m_options.stopWait))) {
        m_process.reset();
        m_output.close();
        return false;
    }
    m_received.clear();
    m_running = true;
    return true;
}

void ExifToolBatch::stop()
{
    if (!m_running)
        return;
    QFile arguments(m_options.argumentFile);
    if (arguments.open(QIODevice::WriteOnly | QIODevice::Append))
        arguments.write("-stay_open\nfalse\n");
    arguments.close();
    wake();
    m_running = false;
    m_output.close();
    m_received.clear();
    if (!m_process->waitForFinished(milliseconds(m_options.stopWait))) {
        m_process->kill();
        m_process->waitForFinished();
    }
    m_process.reset();
    requeueInFlight();
}

void ExifToolBatch::restart()
{
    stop();
    QFile::remove(m_options.outputFile);
    start();
}

void ExifToolBatch::requeueInFlight()
{
    QStringList paths;
    for (const Request &request : std::as_const(m_inFlight))
        paths.append(request.path);
    m_queue = paths + m_queue;
    m_inFlight.clear();
}

void ExifToolBatch::wake()
{
    // exiftool looks at its argument file again only every 10 ms, or at once
    // when it receives SIGCONT.
    if (m_process && m_process->processId() > 0)
        ::kill(pid_t(m_process->processId()), SIGCONT);
}

bool ExifToolBatch::send(const QStringList &paths)
{
    if (paths.isEmpty())
        return true;
    QByteArray requests;
    QList<Request> sent;
    for (const QString &path : paths) {
        const int number = m_counter + int(sent.size());
        requests += QFile::encodeName(path) + "\n-execute" + QByteArray::number(number) + '\n';
        sent.append({number, path});
    }
    QFile arguments(m_options.argumentFile);
    if (!arguments.open(QIODevice::WriteOnly | QIODevice::Append) || arguments.write(requests) != requests.size())
        return false;
    arguments.close();
    m_counter += int(sent.size());
    m_inFlight += sent;
    wake();
    return true;
}

void ExifToolBatch::fill()
{
    // Topped up once half is answered: fewer writes and wake-ups, and the
    // tool still finds work waiting.
    if (!m_running || m_inFlight.size() > kInFlight / 2)
        return;
    QStringList paths;
    while (m_inFlight.size() + paths.size() < kInFlight && !m_queue.isEmpty()
           && m_counter + paths.size() <= m_options.restartAfter) {
        const QString path = m_queue.takeFirst();
        const bool asked = m_answers.contains(path) || paths.contains(path)
            || std::any_of(m_inFlight.cbegin(), m_inFlight.cend(), [&path](const Request &r) { return r.path == path; });
        if (!asked)
            paths.append(path);
    }
    if (!send(paths))
        m_queue = paths + m_queue;
}

void ExifToolBatch::sendAhead(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!path.contains(QLatin1Char('\n')))
            m_queue.append(path);
    }
    fill();
}

void ExifToolBatch::forget()
{
    m_queue.clear();
    m_answers.clear();
}

bool ExifToolBatch::takeAnswers()
{
    bool taken = false;
    while (!m_inFlight.isEmpty()) {
        const Request &first = m_inFlight.first();
        const QByteArray ready = "{ready" + QByteArray::number(first.number) + "}\n";
        qsizetype at = m_received.indexOf(ready);
        while (at > 0 && m_received.at(at - 1) != '\n')
            at = m_received.indexOf(ready, at + 1);
        if (at < 0)
            break;
        m_answers.insert(first.path, ExifTextParser::parse(ExifTextParser::Format::ExifTool,
                                                           QString::fromUtf8(m_received.left(at))));
        m_received.remove(0, at + ready.size());
        m_inFlight.removeFirst();
        taken = true;
    }
    return taken;
}

bool ExifToolBatch::receiveUntil(const QString &path)
{
    QElapsedTimer total;
    total.start();
    while (!m_answers.contains(path)) {
        const qint64 left = m_options.timeout.count() - total.elapsed();
        if (left <= 0)
            return false;
        // Silent too long, or ended: no answer is coming.
        if (m_process->bytesAvailable() == 0
            && !m_process->waitForReadyRead(int(std::min<qint64>(left, m_options.silence.count()))))
            return false;
        const QByteArray more = m_process->readAllStandardOutput();
        m_output.write(more);
        m_output.flush();
        m_received += more;
        if (takeAnswers())
            fill();
    }
    return true;
}

std::optional<ExifInfo> ExifToolBatch::read(const QString &path)
{
    std::optional<ExifInfo> info;
    if (m_answers.contains(path)) {
        info = m_answers.take(path);
    } else if (m_running && !path.contains(QLatin1Char('\n'))) {
        for (int attempt = 0; attempt < m_options.attempts && m_running; ++attempt) {
            const bool inFlight = std::any_of(m_inFlight.cbegin(), m_inFlight.cend(),
                                              [&path](const Request &r) { return r.path == path; });
            if (!inFlight) {
                const qsizetype queued = m_queue.indexOf(path);
                if (queued >= 0)
                    m_queue.removeAt(queued);
                if (!send({path}))
                    break;
            }
            fill();
            if (receiveUntil(path)) {
                info = m_answers.take(path);
                break;
            }
            restart();
        }
    }
    // Past request 500 the tool starts afresh, so that its files stay small;
    // what was already asked for is answered first.
    if (m_counter > m_options.restartAfter && m_running) {
        while (!m_inFlight.isEmpty() && receiveUntil(m_inFlight.last().path)) {
        }
        restart();
        m_counter = 1;
        fill();
    }
    return info;
}

} // namespace tarvello::exif
