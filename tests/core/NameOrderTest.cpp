#include "QtPrint.h"

#include "common/NameOrder.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>

using namespace tarvello::common;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// The collation key must order names as the file view's comparison does,
// leading zeros of equal numbers aside, or adds and views would disagree.
TEST(NameOrder, collationKeysOrderAsTheComparisonDoes)
{
    QStringList names = {"img2.jpg", "img10.jpg", "img02.jpg", "IMG1a", "img1b", "x02y9", "x2y10", "Été", "ete",
                         "e.txt", "f", "0", "00", "", "a0", "a00b", "a-1", "a.1", "a~", "9z", "z9", "photo 10", "photo 9"};
    // And a few thousand made of the characters that matter: digits, letters
    // of both cases, punctuation on either side of the digits, an accent.
    std::mt19937 random(7);
    const QString alphabet = "0012389aAbZ._-~é";
    for (int i = 0; i < 3000; ++i) {
        QString name;
        const int length = int(random() % 7);
        for (int c = 0; c < length; ++c)
            name.append(alphabet.at(int(random() % alphabet.size())));
        names.append(name);
    }
    for (const QString &a : std::as_const(names)) {
        for (int j = 0; j < 40; ++j) {
            const QString &b = names.at(int(random() % names.size()));
            const int byComparison = compareSortKeys(nameSortKey(a), nameSortKey(b));
            const QString ka = nameCollationKey(a);
            const QString kb = nameCollationKey(b);
            if (ka == kb)
                continue; // the comparison then decides by leading zeros alone
            ASSERT_EQ(sign(ka.compare(kb)), byComparison) << a.toStdString() << " / " << b.toStdString();
        }
    }
    EXPECT_LT(nameCollationKey("img9.jpg"), nameCollationKey("IMG10.jpg"));
    EXPECT_EQ(nameCollationKey("img09.jpg"), nameCollationKey("img9.jpg"));
}

} // namespace
