// Fuzz target of the name computation: any rule, counter texts, options and
// file names must give a name, a message or a run-time error, never a crash,
// a hang or an exception that escapes.

#include "EngineFakes.h"

#include "common/Zub.h"
#include "controller/NameBatch.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include <cstdint>
#include <cstdlib>

using namespace tarvello;

namespace {

QString part(const QStringList &parts, int i)
{
    return i < parts.size() ? parts.at(i) : QString();
}

} // namespace

// Input: two bytes of options, then lines: rule, start text, step text, new
// extension, extension filter, Exif year, Exif month, then up to six paths.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint8_t choices = data[1];
    const QStringList parts =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2)).split(QLatin1Char('\n'));

    settings::RuleOptions rule;
    rule.rule = part(parts, 0);
    rule.startText = part(parts, 1);
    rule.counterStart = (flags & 0x01) ? 2147483647 : 1;
    rule.stepText = part(parts, 2);
    rule.counterStep = qint16(choices * 257 - 1000);
    rule.changeExtension = (flags >> 1) & 1;
    rule.newExtension = part(parts, 3);
    rule.extensionFilter = part(parts, 4);
    rule.replaceForbidden = (flags >> 2) & 1;
    rule.numberIdentical = (flags >> 3) & 1;
    rule.trimSpaces = (flags >> 4) & 1;
    rule.upperFirstChar = (flags >> 5) & 1;
    rule.upperEachWord = (flags >> 6) & 1;
    rule.caseIndex = choices % 3;

    rules::NameSettings settings;
    settings.yearFormat = qint16((choices >> 2) % 3);
    settings.monthFormat = qint16((choices >> 4) % 5);

    fakes::FixedClock clock(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)));
    fakes::FakeFiles files;
    fakes::FakeExif exif;
    fakes::FakeMessages messages;
    QStringList paths;
    for (int i = 7; i < parts.size() && paths.size() < 6; ++i) {
        const QString path = QStringLiteral("/f/") + parts.at(i);
        paths.append(path);
        files.sizes.insert(path, i);
        files.times.insert(path, QDateTime::fromSecsSinceEpoch(qint64(i) * 1000003));
        files.folders[common::ZubGetPath(path)].append(common::ZubGetFileName(path));
        exif::ExifInfo info;
        info.Year = part(parts, 5);
        info.Month = part(parts, 6);
        info.DateTaken = parts.at(i);
        exif.records.insert(path, info);
    }

    const rules::NameEngine engine(settings, clock, files, exif, messages);
    rules::IdenticalNameTable identical;
    controller::NameBatch batch(rule, engine, identical);
    // Positions far down the list reach the counter's limits.
    const int firstPosition = (flags & 0x80) ? 1 + choices * 8421504 : 1;
    batch.run(paths, firstPosition, [](int, const controller::NameStep &step) {
        const rules::NameResult &result = step.result;
        if ((result.kind == rules::NameResult::Kind::RuntimeError) != result.error.has_value())
            std::abort();
        if (result.kind == rules::NameResult::Kind::PositionError && !result.name.isEmpty())
            std::abort();
        return true;
    });
    return 0;
}
