#pragma once

#include "exif/ExifCache.h"
#include "exif/ExifInfo.h"
#include "exif/ExifToolBatch.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>

namespace tarvello::settings {
struct Settings;
}

namespace tarvello::exif {

// The reader choices of Option_OutilExifChoisi.
enum ExifChoice : int {
    // No choice made yet: reads as jhead.
    ChoiceNone = 0,
    ChoiceJhead = 1,
    // jhead for the extensions of its list, exiftool standard mode otherwise.
    ChoiceMixed = 2,
    // exiftool started once per photograph (standard mode).
    ChoiceExifTool = 3,
    // One exiftool kept running, fed through an argument file (batch mode).
    ChoiceExifToolBatch = 4,
    // Read in-process, each field as exiftool standard mode prints it.
    ChoiceBuiltin = 5,
};

// What the readers need from the settings and the start-up.
struct ExifOptions {
    int choice = ChoiceBuiltin;
    // Extensions without dots separated by single spaces, as the settings
    // hold them: the files each tool is used for (Option_ExtensionTraiteAvecJHEAD
    // and Option_ExtensionTraiteAvecEXIFTOOL; the built-in reader takes the
    // exiftool list).
    QString jheadExtensions = QStringLiteral("JPG JPEG");
    QString exiftoolExtensions = QStringLiteral("ARW CRW JPG JPEG RAW TIF TIFF");
    // The program's folder: a tool in its bin/ folder comes first.
    QString programFolder;
    // Where tools are looked for after bin/; empty means the PATH.
    QStringList searchPath;
    // The private temporary folder, which holds the copy "tarvello.tmp" and
    // the argument file, and the Exif output file the tools write to. When
    // either is empty the external tools read nothing.
    QString tempFolder;
    QString outputFile;
    // A standard-mode tool running longer is stopped and gives the empty record.
    std::chrono::milliseconds toolTimeout{60000};
    // The resident exiftool silent this long is restarted and asked again, at
    // most batchAttempts times in all, then the empty record.
    std::chrono::milliseconds batchSilence{5000};
    int batchAttempts = 3;
    // How long a stopped resident exiftool may take to end before it is killed.
    std::chrono::milliseconds batchStopWait{2000};
    // The resident exiftool is restarted once the request counter passes this.
    int batchRestartAfter = 500;
};

// The choice and the two extension lists of the settings; the places are left
// to the caller.
ExifOptions exifOptions(const settings::Settings &settings);

// What a reader tells the window. Each may be left empty.
struct ExifEvents {
    // A record was read for the main window's six labels (getExif's last step).
    std::function<void(const ExifInfo &)> shown;
    // The resident exiftool could not be started: the choice is now 3
    // (exiftool standard mode) and should be saved with the settings.
    std::function<void()> batchStartFailed;
};

// The photographs' metadata reader behind the rule tokens and the preview:
// picks jhead, exiftool (once per photograph or kept running) or the built-in
// reader by the choice and the extension lists, and keeps every record read
// in the cache it is given, so that each photograph is read once.
//
// Lives on one thread; only the read-ahead of the built-in reader uses
// worker threads of its own.
class ExifReader : public ExifSource
{
public:
    ExifReader(ExifOptions options, ExifCache &cache);
    // Stops the resident exiftool and waits for the read-ahead to end.
    ~ExifReader() override;
    ExifReader(const ExifReader &) = delete;
    ExifReader &operator=(const ExifReader &) = delete;

    // The photograph's record (getExif): the empty record when its extension
    // is on no list of the choice, or when nothing could be read.
    ExifInfo getExif(const QString &path) override;

    // The choice in force; a failed batch start turns 4 into 3.
    int choice() const { return m_options.choice; }
    // New options: the places the start-up found, the settings read. A running
    // batch is stopped first, since its files may move.
    void setOptions(ExifOptions options);
    // A new choice from the chooser. Does not start or stop the batch.
    void setChoice(int choice);
    // New extension lists from the options dialog.
    void setExtensions(const QString &jhead, const QString &exiftool);
    void setEvents(ExifEvents events) { m_events = std::move(events); }

    // Starts the resident exiftool when it is not running. False when it could
    // not be started: batchStartFailed is told and the choice becomes 3.
    bool startBatch();
    // Asks the resident exiftool to end and lets it go.
    void stopBatch();
    bool batchRunning() const { return m_batch && m_batch->running(); }
    // The number the next batch request carries after "-execute".
    int batchCounter() const { return m_batch ? m_batch->counter() : m_batchCounter; }

    // Has the given photographs read ahead of the getExif calls that will ask
    // for them: the built-in reader reads them on worker threads, the
    // resident exiftool receives their requests a few at a time. The records
    // still go into the cache in the order getExif asks, on the caller's
    // thread.
    void prefetch(const QStringList &paths);
    // Empties the cache and forgets what was read ahead.
    void clearCache();

    // Where the tool of that name is run from: bin/ beside the program, else
    // the search path; "" when neither holds it.
    QString toolPath(const QString &name) const;

private:
    enum class Tool { Jhead, ExifTool };

    bool listed(const QString &list, const QString &extension) const;
    ExifInfo readStandard(Tool tool, const QString &path);
    ExifInfo readBatch(const QString &path);
    ExifInfo readBuiltinCached(const QString &path);
    void batchStartFailed();

    ExifOptions m_options;
    ExifCache &m_cache;
    ExifEvents m_events;

    // The resident exiftool; the request counter lasts the whole run.
    std::unique_ptr<ExifToolBatch> m_batch;
    int m_batchCounter = 0;

    // Photographs being read ahead, by path.
    QThreadPool m_pool;
    QHash<QString, std::shared_future<std::optional<ExifInfo>>> m_pending;
};

} // namespace tarvello::exif
