#include "EngineFakes.h"
#include "QtPrint.h"

#include "common/Vb.h"
#include "common/VbError.h"
#include "common/Zub.h"
#include "rules/FolderScanCache.h"
#include "rules/IdenticalNameTable.h"

#include <gtest/gtest.h>

#include <random>

using namespace tarvello;
using common::VbError;

namespace {

// A random text over a small alphabet, so that names meet each other often.
QString randomText(std::mt19937 &random, const QString &alphabet, int maxLength)
{
    const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(alphabet.at(std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(random)));
    return text;
}

// The folder scan of continuation mode written the long way, one pass over the
// entries per file, as the rename has always done it: the number or the error
// number, as text.
QString scanFolder(const QStringList &entries, const QString &name)
{
    const int width = int(name.count(QLatin1Char('#')));
    const int first = common::vbInStr(name, QStringLiteral("#"));
    const QString prefix = common::vbLeft(name, first - 1);
    const QString suffix = common::vbMid(name, first + width);
    qint32 highest = 0;
    for (const QString &entry : entries) {
        if (entry.startsWith(QLatin1Char('.')))
            continue;
        if (common::vbLeft(entry, first - 1) == prefix
            && common::vbMid(entry, first + width, int(name.size())) == suffix) {
            try {
                highest = std::max(highest, common::vbCLng(common::vbMid(entry, first, width)));
            } catch (const VbError &error) {
                return QStringLiteral("error %1").arg(error.number());
            }
        }
    }
    return QString::number(highest);
}

TEST(FolderScanCache, sameAnswersAsAScanPerFile)
{
    std::mt19937 random(20040305);
    const QString alphabet = QStringLiteral("ab_.0179");
    // Both outcomes must occur, or the comparison proves little.
    int numbers = 0;
    int errors = 0;
    for (int round = 0; round < 200; ++round) {
        fakes::FakeFiles files;
        QStringList entries;
        for (int i = std::uniform_int_distribution<int>(0, 40)(random); i > 0; --i)
            entries.append(randomText(random, alphabet, 9));
        files.folders.insert(QStringLiteral("/f"), entries);
        rules::FolderScanCache cache;
        for (int query = 0; query < 30; ++query) {
            // Half the rules are cut from an entry, so that they find candidates.
            QString name = randomText(random, alphabet, 4)
                           + QString(std::uniform_int_distribution<int>(1, 4)(random), QLatin1Char('#'))
                           + randomText(random, alphabet, 4);
            if (!entries.isEmpty() && query % 2 == 0) {
                name = entries.at(std::uniform_int_distribution<int>(0, int(entries.size()) - 1)(random));
                const int at = std::uniform_int_distribution<int>(0, int(name.size()))(random);
                const int width = std::uniform_int_distribution<int>(1, 3)(random);
                name.replace(at, width, QString(width, QLatin1Char('#')));
            }
            const int first = int(name.indexOf(QLatin1Char('#')));
            const int width = int(name.count(QLatin1Char('#')));
            QString cached;
            try {
                cached = QString::number(cache.highestNumber(files, QStringLiteral("/f"), name.left(first), width,
                                                              name.mid(first + width)));
            } catch (const VbError &error) {
                cached = QStringLiteral("error %1").arg(error.number());
            }
            numbers += cached != QLatin1String("0") && !cached.startsWith(QLatin1String("error"));
            errors += cached.startsWith(QLatin1String("error"));
            ASSERT_EQ(cached, scanFolder(entries, name)) << name.toStdString() << " in "
                                                         << entries.join(QLatin1Char(' ')).toStdString();
        }
        EXPECT_EQ(files.listings, 1);
    }
    EXPECT_GT(numbers, 100);
    EXPECT_GT(errors, 100);
}

// The identical-name table written the long way: a list searched from its
// first entry for every name.
class LinearTable
{
public:
    QString enter(const QString &name)
    {
        const QString upper = common::vbUCase(name);
        for (auto &[entry, count] : m_entries) {
            if (entry == upper) {
                ++count;
                const QString ext = common::ZubGetExtension(name);
                return common::ZubStrWithoutExt(name) + QLatin1Char('_') + QString::number(count)
                       + (ext.isEmpty() ? QString() : QLatin1Char('.') + ext);
            }
        }
        m_entries.append({upper, 0});
        return name;
    }

private:
    QList<std::pair<QString, int>> m_entries = {{QString(), 0}};
};

TEST(IdenticalNameTable, sameNamesAsTheListSearch)
{
    std::mt19937 random(1234);
    rules::IdenticalNameTable table;
    LinearTable reference;
    for (int i = 0; i < 3000; ++i) {
        const QString name = randomText(random, QStringLiteral("aAbB._1"), 5);
        ASSERT_EQ(table.enter(name), reference.enter(name)) << name.toStdString();
    }
}

} // namespace
