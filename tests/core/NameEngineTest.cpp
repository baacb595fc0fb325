#include "EngineFakes.h"
#include "QtPrint.h"

#include "rules/FolderScanCache.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"
#include "common/Vb.h"
#include "common/VbError.h"
#include "common/Zub.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace tarvello;
using rules::NameResult;
using settings::RuleOptions;
using common::VbError;

namespace {

const QString kMsg91 = "message 91";
const QString kMsg97 = "message 97";

// The world of the name computation tests: Friday 5 March 2004, 09:07:02; a few
// files with sizes and times; photographs with metadata; folders for
// continuation mode.
class NameWorld
{
public:
    NameWorld() : clock(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)))
    {
        settings.locale = QLocale(QLocale::French);
        files.sizes.insert("/p/sized.txt", 1234);
        files.times.insert("/p/dated.txt", QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)));
        files.folders.insert("/scans", {"Scan_007", "Scan_012", ".Scan_099", "Scan_050.jpg", "Other", "Scan_1"});
        files.folders.insert("/bad", {"Scan_009", "Scan_abc"});
        exif.records.insert("/p/photo.jpg", {.FileSize = "2048 bytes", .CameraModel = "EOS 10D",
                                             .DateTaken = "2004:01:05 10:11:12", .Resolution = "2048 x 1536",
                                             .Orientation = "Rotate 90 CW", .Comment = "plage", .Year = "2004",
                                             .Month = "01", .Day = "05", .Hour = "10", .Minute = "11", .Second = "12"});
        // Dates that are no dates.
        exif.records.insert("/p/year0.jpg", {.Year = "0000", .Month = "00"});
        exif.records.insert("/p/yearText.jpg", {.Year = "abcd", .Month = "01"});
        exif.records.insert("/p/month13.jpg", {.Year = "2004", .Month = "13"});
        exif.records.insert("/p/noMonth.jpg", {.Year = "2004"});
        // A dated photograph whose name holds date tokens.
        files.times.insert("/p/x$D$_$dA$.jpg", QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2)));
        exif.records.insert("/p/x$D$_$dA$.jpg", {.Year = "2004"});
        files.unreadableFolders.append("/locked");
    }

    // Every path in list order through one recomputation.
    QList<NameResult> computeAll(RuleOptions rule, const QStringList &paths)
    {
        const rules::NameEngine engine(settings, clock, files, exif, messages);
        rules::FolderScanCache folders;
        QList<NameResult> results;
        for (int i = 0; i < paths.size(); ++i)
            results.append(engine.computeName(paths.at(i), i + 1, rule, identical, folders));
        return results;
    }

    // The new names, or "error N" for a run-time error.
    QStringList names(const RuleOptions &rule, const QStringList &paths)
    {
        QStringList out;
        for (const NameResult &r : computeAll(rule, paths))
            out.append(r.kind == NameResult::Kind::RuntimeError ? QString("error %1").arg(r.error->number()) : r.name);
        return out;
    }

    rules::NameSettings settings;
    fakes::FixedClock clock;
    fakes::FakeFiles files;
    fakes::FakeExif exif;
    fakes::FakeMessages messages;
    rules::IdenticalNameTable identical;
};

struct NameCase {
    const char *label;
    RuleOptions rule;
    QStringList paths;
    QStringList expected;
    // Changes to the program settings, when the case needs any.
    std::function<void(rules::NameSettings &)> settings = {};
};

void PrintTo(const NameCase &c, std::ostream *os) { *os << c.label; }

class NameComputation : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameComputation, givesTheNamesInListOrder)
{
    const NameCase &c = GetParam();
    NameWorld world;
    if (c.settings)
        c.settings(world.settings);
    EXPECT_EQ(world.names(c.rule, c.paths), c.expected);
}

const QString abc = "/p/abcdefg";

// Rules that leave the file's name to speak: no forbidden-character
// replacement, no numbering, so each row shows one step at a time.
RuleOptions plain(const char *text)
{
    return RuleOptions{.rule = QString::fromUtf8(text), .replaceForbidden = 0, .numberIdentical = 0};
}

const NameCase kCounterCases[] = {
    {"counterFromOne", {.rule = "Photo_###"}, {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"},
     {"Photo_001.jpg", "Photo_002.jpg", "Photo_003.jpg"}},
    {"startAndStep", {.rule = "Photo_###", .startText = "10", .stepText = "5"}, {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"},
     {"Photo_010.jpg", "Photo_015.jpg", "Photo_020.jpg"}},
    {"widthIsAMinimum", {.rule = "#", .startText = "9"}, {"/p/a", "/p/b"}, {"9", "10"}},
    {"hashesApartCountTogether", {.rule = "a#b#c"}, {"/p/x.txt"}, {"a01#c.txt"}},
    {"hashInBaseName", plain("*"), {"/p/x#y.txt", "/p/z#.txt"}, {"x1y.txt", "z2.txt"}},
    {"negativeKeepsSignBeforeZeros", {.rule = "n###", .startText = "-5"}, {"/p/a", "/p/b"}, {"n-005", "n-004"}},
    {"negativeStep", {.rule = "#", .startText = "3", .stepText = "-2"}, {"/p/a", "/p/b", "/p/c"}, {"3", "1", "-1"}},
    {"startReadLikeANumber", {.rule = "#", .startText = " 2.5 ", .stepText = "1.5"}, {"/p/a", "/p/b"}, {"2", "4"}},
    {"placeholderTextTakesTheCounter", {.rule = "$Z$_##"}, {"/p/a"}, {"01_01"}},
    {"widerThanEighteen", {.rule = "#########################"}, {"/p/a"}, {"0000000000000000000000001"}},
    {"overflowIsAnErrorForThatFileOnly", {.rule = "#", .startText = "2147483646"}, {"/p/a", "/p/b", "/p/c"},
     {"2147483646", "2147483647", "error 6"}},
    {"badStartText", {.rule = "#", .startText = "abc"}, {"/p/a"}, {"error 13"}},
    {"emptyStepText", {.rule = "#", .stepText = ""}, {"/p/a"}, {"error 13"}},
    {"stepOutOf16Bits", {.rule = "#", .stepText = "40000"}, {"/p/a"}, {"error 6"}},
    {"startTextIgnoredWithoutCounter", {.rule = "x", .startText = "abc"}, {"/p/a"}, {"x"}},
};
INSTANTIATE_TEST_SUITE_P(Counter, NameComputation, ::testing::ValuesIn(kCounterCases));

const NameCase kContinuationCases[] = {
    {"afterTheHighestNumber", {.rule = "Scan_###", .startText = "#", .changeExtension = 1},
     {"/scans/x.jpg", "/scans/y.jpg", "/scans/z.jpg"}, {"Scan_013", "Scan_013_1", "Scan_013_2"}},
    {"storedStartSelectsIt", {.rule = "Scan_###", .counterStart = 2147483647, .changeExtension = 1},
     {"/scans/x.jpg"}, {"Scan_013"}},
    {"storedStepNotTheTypedOne",
     {.rule = "Scan_###", .startText = "#", .stepText = "1", .counterStep = 5, .changeExtension = 1},
     {"/scans/x.jpg"}, {"Scan_017"}},
    {"suffixSpellsTheExtension", {.rule = "Scan_###.jpg", .startText = "#", .changeExtension = 1},
     {"/scans/x.jpg"}, {"Scan_051.jpg"}},
    {"forbiddenCharactersReplacedBeforeComparing", {.rule = "Scan:###", .startText = "#", .changeExtension = 1},
     {"/scans/x.jpg"}, {"Scan_013"}},
    {"hiddenEntriesNotCounted", {.rule = ".Scan_###", .startText = "#", .changeExtension = 1}, {"/scans/x.jpg"},
     {".Scan_001"}},
    {"noMatchStartsFromTheStep", {.rule = "New_###", .startText = "#"}, {"/scans/x.jpg"}, {"New_001.jpg"}},
    {"otherFolderOtherNumbers", {.rule = "Scan_###", .startText = "#", .changeExtension = 1},
     {"/scans/x.jpg", "/empty/y.jpg"}, {"Scan_013", "Scan_001"}},
    {"nonNumericCandidateIsAnError", {.rule = "Scan_###", .startText = "#"}, {"/bad/x.jpg"}, {"error 13"}},
    {"unreadableFolderIsAnError", {.rule = "#", .startText = "#"}, {"/locked/a", "/locked/b"}, {"error 70", "error 70"}},
    {"tableRemovingTheHashes", {.rule = "Scan_###", .startText = "#"}, {"/scans/x.jpg"}, {"error 5"},
     [](rules::NameSettings &s) { s.forbiddenCharacters = {{"#", "x"}}; }},
};
INSTANTIATE_TEST_SUITE_P(Continuation, NameComputation, ::testing::ValuesIn(kContinuationCases));

const NameCase kTokenCases[] = {
    {"digitsOfTheName", plain("$N$_*"), {"/p/IMG_0042.JPG", "/p/photo.mp4", "/p/IMG_0042b7.jpg", "/p/none.txt"},
     {"0042_IMG_0042.JPG", "4_photo.mp4", "0042_IMG_0042b7.jpg", "_none.txt"}},
    {"folderName", plain("*_$P$"), {"/photos/vacances/a.jpg", "/a.jpg"}, {"a_vacances.jpg", "a_.jpg"}},
    {"starInsertsTokens", plain("*"), {"/p/x$A$.txt"}, {"x2004.txt"}},
    {"currentDate", plain("$A$-$M$-$J$_$h$$m$$s$"), {"/p/a.txt"}, {"2004-03-05_090702.txt"}},
    {"shortYearAndMonthName", plain("$A$ $M$"), {"/p/a.txt"}, {"04 mars.txt"},
     [](rules::NameSettings &s) { s.yearFormat = 1; s.monthFormat = 3; }},
    {"monthWithoutPadding", plain("$M$"), {"/p/a.txt"}, {"3.txt"}, [](rules::NameSettings &s) { s.monthFormat = 0; }},
    {"unknownFormatIndex", plain("$A$"), {"/p/a.txt"}, {"error 9"}, [](rules::NameSettings &s) { s.yearFormat = 2; }},
    {"unusedFormatIndexHarmless", plain("x"), {"/p/a.txt"}, {"x.txt"}, [](rules::NameSettings &s) { s.monthFormat = 9; }},
    {"fileSize", plain("$t$"), {"/p/sized.txt", "/p/gone.txt"}, {"1234.txt", "$t$.txt"}},
    {"fileDateWholeWithForbiddenReplaced", {.rule = "$D$"}, {"/p/dated.txt"}, {"05_03_2004 09_07_02.txt"}},
    {"fileDateParts", plain("$DA$$DM$$DJ$_$Dh$$Dm$$Ds$"), {"/p/dated.txt", "/p/gone.txt"},
     {"20040305_090702.txt", "$DA$$DM$$DJ$_$Dh$$Dm$$Ds$.txt"}},
    {"fileMonthName", plain("$DM$"), {"/p/dated.txt"}, {"Mar.txt"},
     [](rules::NameSettings &s) { s.locale = QLocale(QLocale::English); s.monthFormat = 2; }},
    {"exifFields", plain("$dA$$dM$$dJ$-$dh$$dm$$ds$-$K$-$R$-$O$-$C$-$T$"), {"/p/photo.jpg"},
     {"20040105-101112-EOS 10D-2048 x 1536-Rotate 90 CW-plage-2048 bytes.jpg"}},
    {"exifMonthName", plain("$dM$"), {"/p/photo.jpg"}, {"janvier.jpg"},
     [](rules::NameSettings &s) { s.monthFormat = 3; }},
    {"exifDateTaken", {.rule = "$d$"}, {"/p/photo.jpg"}, {"2004_01_05 10_11_12.jpg"}},
    {"exifNothingKnown", plain("x$dA$$dM$$dJ$$K$$d$y"), {"/p/other.jpg"}, {"xy.jpg"}},
    {"exifDateThatIsNoDate", plain("$dA$"), {"/p/year0.jpg", "/p/yearText.jpg"}, {"error 13", "error 13"}},
    {"exifMonthThatIsNoMonth", plain("$dM$"), {"/p/month13.jpg", "/p/noMonth.jpg"}, {"error 13", "error 13"}},
    // The rule, not the name the star gave, opens the file-date and Exif
    // steps; once open, they replace what the name holds too.
    {"tokensInTheNameAloneStay", plain("*"), {"/p/x$D$_$dA$.jpg"}, {"x$D$_$dA$.jpg"}},
    {"tokensOfTheRuleReplaceTheNamesToo", plain("*_$DJ$$dA$"), {"/p/x$D$_$dA$.jpg"},
     {"x05/03/2004 09:07:02_2004_052004.jpg"}},
    {"unknownAndUnbalancedStay", plain("a$Q$b$c"), {"/p/a.txt"}, {"a$Q$b$c.txt"}},
    {"mkdirStays", plain("$MKDIR\\*"), {"/p/a.txt"}, {"$MKDIR\\a.txt"}},
};
INSTANTIATE_TEST_SUITE_P(Tokens, NameComputation, ::testing::ValuesIn(kTokenCases));

const NameCase kDirectiveCases[] = {
    {"repcEverywhere", plain("$REPC/ /_$"), {"/p/mon fichier.txt"}, {"mon_fichier.txt"}},
    {"repcAfterFirst", plain("$REPC/-/X/1$"), {"/p/a-b-c"}, {"a-X"}},
    {"repcBeforeFirst", plain("$REPC/-/X/-1$"), {"/p/a-b-c"}, {"X-b-c"}},
    {"repcSearchAbsent", plain("$REPC/z/X/1$"), {"/p/a-b-c"}, {"a-b-c"}},
    {"repcOtherChoiceKeepsTheRule", plain("$REPC/-/X/2$"), {"/p/a-b-c"}, {"$REPC/-/X/2$"}},
    {"repcDropsTheRestOfTheRule", plain("pre_$REPC/a/b$_post"), {"/p/aXa.txt"}, {"bXb.txt"}},
    {"repcWithoutSearchEnd", plain("$REPC/abc"), {"/p/xabcx.txt"}, {"xabcx.txt"}},
    {"repcCutShort", plain("$REPC/abc/"), {"/p/xabcx.txt"}, {"xx.txt"}},
    {"repcBare", plain("$REPC"), {"/p/xabcx.txt"}, {"xabcx.txt"}},
    {"repcLaterDollarExtendsReplacement", plain("$REPC/a/b$c$"), {"/p/aa"}, {"b$cb$c"}},
    {"reppFromStart", plain("$REPP/2/5/1/X$"), {abc}, {"abXefg"}},
    {"reppFromEnd", plain("$REPP/2/5/-1/X$"), {abc}, {"abcXfg"}},
    {"reppReversed", plain("$REPP/5/2/1/X$"), {abc}, {"abXefg"}},
    {"reppBeforeFromStart", plain("$REPP/3//1/X$"), {abc}, {"Xcdefg"}},
    {"reppAfterFromStart", plain("$REPP//3/1/X$"), {abc}, {"abcX"}},
    {"reppBeforeFromEnd", plain("$REPP/2//-1/X$"), {abc}, {"Xfg"}},
    {"reppAfterFromEnd", plain("$REPP//2/-1/X$"), {abc}, {"abcdefX"}},
    {"reppBeforeFromEndPastStart", plain("$REPP/9//-1/X$"), {abc}, {"Xabcdefg"}},
    {"reppAfterFromEndPastStart", plain("$REPP//9/-1/X$"), {abc}, {"X"}},
    {"reppBothFromEndPastStart", plain("$REPP/1/9/-1/X$"), {abc}, {"Xg"}},
    {"reppBareKeepsBothOnes", plain("$REPP"), {abc}, {"abcdefgg"}},
    {"reppCutShort", plain("$REPP/2/5"), {abc}, {"abcdefg"}},
    {"reppPositionOutOf16Bits", plain("$REPP/40000/1/1/X$"), {abc}, {"error 6"}},
    {"reppNegativePosition", plain("$REPP/-1//1/X$"), {abc}, {"error 5"}},
    {"reppFromEndBeyondTheName", plain("$REPP/10/20/-1/X$"), {"/p/abc"}, {"error 5"}},
    {"counterAfterDirective", plain("$REPP//3/1/_#$"), {abc}, {"abc_1"}},
    {"regxGroups", plain(R"($REGX/(\d+)-(\d+)/\2-\1\\\0$)"), {"/p/12-34.txt"}, {"34-12\\12-34.txt"}},
    {"regxFirstMatch", plain("$REGX/a/X$"), {"/p/banana"}, {"bXnana"}},
    {"regxEveryMatch", plain("$REGX/a/X/g$"), {"/p/banana"}, {"bXnXnX"}},
    {"regxEveryEmptyMatch", plain("$REGX/x*/-/g$"), {"/p/ab"}, {"-a-b-"}},
    {"regxIgnoreCase", plain("$REGX/img_/Photo-/ig$"), {"/p/IMG_1.JPG", "/p/img_2.jpg"}, {"Photo-1.JPG", "Photo-2.jpg"}},
    {"regxCaseByDefault", plain("$REGX/img_/Photo-$"), {"/p/IMG_1.JPG"}, {"IMG_1.JPG"}},
    // The star, "$" and the tokens inside the directive are the expression's.
    {"regxStarAndAnchorAreTheExpressions", plain("$REGX/^a*b$/X$"), {"/p/aab.txt", "/p/xab.txt"}, {"X.txt", "xab.txt"}},
    {"regxTokensAreTheExpressions", plain(R"($REGX/\$J\$/X$)"), {"/p/a$J$b"}, {"aXb"}},
    {"regxEscapedStops", plain(R"($REGX/a\/?b/\$\/$)"), {"/p/ab"}, {"$/"}},
    {"regxDropsTheRestOfTheRule", plain("pre_$REGX/a/b$_post"), {"/p/aXa.txt"}, {"bXa.txt"}},
    {"regxThenCounter", {.rule = "$REGX/^/##_$"}, {"/p/a.txt", "/p/b.txt"}, {"01_a.txt", "02_b.txt"}},
    // A refused directive is never applied: the names keep its text.
    {"regxRefusedStaysAsTyped", plain("$REGX/(/x$"), {"/p/a.txt"}, {"$REGX/(/x$.txt"}},
    {"regxMissingGroupStaysAsTyped", plain("$REGX/a/\\1$"), {"/p/a"}, {"$REGX/a/\\1$"}},
};
INSTANTIATE_TEST_SUITE_P(Directives, NameComputation, ::testing::ValuesIn(kDirectiveCases));

const NameCase kOptionCases[] = {
    {"trim", {.rule = "  a b  ", .replaceForbidden = 0, .trimSpaces = 1}, {"/p/x.txt"}, {"a b.txt"}},
    {"spacesKeptWithoutTrim", plain("  a  "), {"/p/x.txt"}, {"  a  .txt"}},
    {"firstCapitalThenTable", {.rule = "été", .upperFirstChar = 1}, {"/p/x.txt"}, {"Éte.txt"}},
    {"firstCapitalOfEmpty", {.rule = "", .numberIdentical = 0, .upperFirstChar = 1}, {"/p/x"}, {""}},
    {"wordCapitals", {.rule = "le  petit chat", .upperEachWord = 1}, {"/p/x.txt"}, {"Le  Petit Chat.txt"}},
    {"wordCapitalsDropLeadingSpaces", {.rule = " deux  mots", .upperEachWord = 1}, {"/p/x.txt"}, {"Deux  Mots.txt"}},
    {"upperCase", {.rule = "Abc", .caseIndex = settings::CaseUpper}, {"/p/x.jpg", "/p/README"}, {"ABC.JPG", "Abc"}},
    {"lowerCase", {.rule = "AbC", .caseIndex = settings::CaseLower}, {"/p/x.JPG"}, {"abc.jpg"}},
    {"newExtension", {.rule = "x", .changeExtension = 1, .newExtension = "png"}, {"/p/a.jpg", "/p/b"},
     {"x.png", "x_1.png"}},
    {"extensionRemoved", {.rule = "x", .changeExtension = 1, .numberIdentical = 0}, {"/p/a.jpg"}, {"x"}},
    {"dotFileHasNoExtension", {.rule = "*_###"}, {"/p/.bashrc", "/p/.config.old"}, {".bashrc_001", ".config_002.old"}},
    {"forbiddenCharacters", {.rule = "é/è:à?ç"}, {"/p/x.txt"}, {"e_e_a_c.txt"}},
    {"forbiddenOnlyWhenExactlyOne", {.rule = "é:", .replaceForbidden = 2}, {"/p/x.txt"}, {"é:.txt"}},
    {"forbiddenTableReachesTheExtension", {.rule = "x"}, {"/p/a.é"}, {"x.e"}},
    // What the file's name, the counter and the case bring meets the table too.
    {"tableReachesTheFileName", {.rule = "*#"}, {"/p/a:b.txt"}, {"axb1.txt"},
     [](rules::NameSettings &s) { s.forbiddenCharacters = {{":", "x"}}; }},
    {"tableReachesTheCounter", {.rule = "n#"}, {"/p/a"}, {"nx"},
     [](rules::NameSettings &s) { s.forbiddenCharacters = {{"1", "x"}}; }},
    {"tableReachesTheCase", {.rule = "a#", .caseIndex = settings::CaseUpper}, {"/p/x.txt"}, {"x1.TXT"},
     [](rules::NameSettings &s) { s.forbiddenCharacters = {{"A", "x"}}; }},
    {"identicalNames", plain("*"), {"/a/Image.JPG", "/b/Image.JPG", "/c/image.jpg"},
     {"Image.JPG", "Image.JPG", "image.jpg"}},
    {"identicalNamesNumbered", {.rule = "*"}, {"/a/Image.JPG", "/b/Image.JPG", "/c/image.jpg"},
     {"Image.JPG", "Image_1.JPG", "image_2.jpg"}},
    {"numberedNameNotEntered", {.rule = "*"}, {"/a/A.txt", "/b/A.txt", "/c/A_1.txt"}, {"A.txt", "A_1.txt", "A_1.txt"}},
    {"emptyNameMeetsTheResetEntry", {.rule = ""}, {"/p/a", "/p/b"}, {"_1", "_2"}},
    {"numberingAfterForbiddenReplacement", {.rule = "a:b"}, {"/p/x", "/p/y"}, {"a_b", "a_b_1"}},
};
INSTANTIATE_TEST_SUITE_P(Options, NameComputation, ::testing::ValuesIn(kOptionCases));

const NameCase kFilterCases[] = {
    {"forbiddenFileExactly", {.rule = "x"}, {"/p/Thumbs.db", "/p/thumbs.db"}, {kMsg91, "x.db"}},
    {"forbiddenFileBeforeFilter", {.rule = "x", .extensionFilter = "JPG"}, {"/p/Thumbs.db"}, {kMsg91}},
    {"filterOnExtension", {.rule = "x", .extensionFilter = "JPG"}, {"/p/a.png", "/p/b.jpg"}, {kMsg97, "x.jpg"}},
    {"filterWildcard", {.rule = "x", .numberIdentical = 0, .extensionFilter = "J* MP#"},
     {"/p/a.jpeg", "/p/b.mp4", "/p/c.mpg"}, {"x.jpeg", "x.mp4", kMsg97}},
    {"filterMatchesTheExtensionAlone", {.rule = "x", .extensionFilter = "*.jpg"}, {"/p/a.jpg"}, {kMsg97}},
    {"filterStarTakesNoExtension", {.rule = "x"}, {"/p/README"}, {"x"}},
    {"filterNeedsAnExtension", {.rule = "x", .extensionFilter = "?*"}, {"/p/README"}, {kMsg97}},
    {"filterBeforeChangedExtension",
     {.rule = "x", .changeExtension = 1, .newExtension = "png", .extensionFilter = "JPG"}, {"/p/a.jpg", "/p/b.png"},
     {"x.png", kMsg97}},
    {"emptyFilterTakesNothing", {.rule = "x", .extensionFilter = ""}, {"/p/a.jpg"}, {kMsg97}},
    {"commentWithBracketLosesTheFilter", {.rule = "x", .comment = "Photos (2004)", .extensionFilter = "PNG"},
     {"/p/a.jpg"}, {"x.jpg"}},
};
INSTANTIATE_TEST_SUITE_P(Filters, NameComputation, ::testing::ValuesIn(kFilterCases));

// A position error stops with its message and leaves the identical-name
// table alone; a run-time error carries the window's text.
TEST(NameEngine, errorsGiveNoName)
{
    NameWorld world;
    const auto position = world.computeAll(plain("$REPP///1/X$"), {abc});
    ASSERT_EQ(position.size(), 1);
    EXPECT_EQ(position[0].kind, NameResult::Kind::PositionError);
    EXPECT_EQ(position[0].message, "message 45");
    EXPECT_TRUE(position[0].name.isEmpty());
    EXPECT_EQ(world.identical.size(), 1);
    const auto runtime = world.computeAll({.rule = "#", .startText = "x"}, {"/p/a"});
    ASSERT_EQ(runtime[0].kind, NameResult::Kind::RuntimeError);
    EXPECT_TRUE(runtime[0].name.isEmpty());
    EXPECT_EQ(rules::afficheNomErrorText(*runtime[0].error),
              "Error 13 (Type mismatch) in procedure affiche_nom of Feuille frmMain");
}

TEST(NameEngine, normalModeStoresTheStartAndStepItRead)
{
    NameWorld world;
    RuleOptions rule{.rule = "#", .startText = "7", .stepText = "3"};
    const rules::NameEngine engine(world.settings, world.clock, world.files, world.exif, world.messages);
    rules::FolderScanCache folders;
    engine.computeName("/p/a", 1, rule, world.identical, folders);
    EXPECT_EQ(rule.counterStart, 7);
    EXPECT_EQ(rule.counterStep, 3);

    // A typed start equal to the continuation value is stored, and the next
    // file is then counted in continuation mode.
    rule.startText = "2147483647";
    EXPECT_EQ(engine.computeName("/scans/a", 1, rule, world.identical, folders).name, "2147483647");
    rule.rule = "Scan_###";
    EXPECT_EQ(engine.computeName("/scans/b", 2, rule, world.identical, folders).name, "Scan_015");
}

TEST(NameEngine, outsideWorldAskedOnlyWhenTheRuleNeedsIt)
{
    NameWorld world;
    world.names(plain("Photo_###"), {"/scans/a.jpg", "/p/photo.jpg"});
    EXPECT_EQ(world.exif.calls, 0);
    EXPECT_FALSE(rules::ruleReadsExif("Photo_###_$D$"));
    EXPECT_TRUE(rules::ruleReadsExif("Scan_###_$K$"));
    EXPECT_EQ(world.files.listings, 0);
    world.names(RuleOptions{.rule = "Scan_###_$K$", .startText = "#"}, {"/scans/a.jpg", "/scans/b.jpg"});
    EXPECT_EQ(world.exif.calls, 2);
    EXPECT_EQ(world.files.listings, 1);
}

TEST(NameEngine, identicalNamesContinueAcrossBatchesUntilReset)
{
    NameWorld world;
    const RuleOptions rule{.rule = "x"};
    EXPECT_EQ(world.names(rule, {"/p/a.txt"}), QStringList{"x.txt"});
    EXPECT_EQ(world.names(rule, {"/p/b.txt"}), QStringList{"x_1.txt"});
    world.identical.reset();
    EXPECT_EQ(world.names(rule, {"/p/c.txt"}), QStringList{"x.txt"});
}

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
    const int first = common::vbInStr(name, "#");
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
                return QString("error %1").arg(error.number());
            }
        }
    }
    return QString::number(highest);
}

TEST(FolderScanCache, sameAnswersAsAScanPerFile)
{
    std::mt19937 random(20040305);
    const QString alphabet = "ab_.0179";
    // Both outcomes must occur, or the comparison proves little.
    int numbers = 0;
    int errors = 0;
    for (int round = 0; round < 200; ++round) {
        fakes::FakeFiles files;
        QStringList entries;
        for (int i = std::uniform_int_distribution<int>(0, 40)(random); i > 0; --i)
            entries.append(randomText(random, alphabet, 9));
        files.folders.insert("/f", entries);
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
                cached = QString::number(cache.highestNumber(files, "/f", name.left(first), width, name.mid(first + width)));
            } catch (const VbError &error) {
                cached = QString("error %1").arg(error.number());
            }
            numbers += cached != "0" && !cached.startsWith("error");
            errors += cached.startsWith("error");
            ASSERT_EQ(cached, scanFolder(entries, name)) << name.toStdString() << " in " << entries.join(' ').toStdString();
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
        const QString name = randomText(random, "aAbBéÉ._1", 5);
        ASSERT_EQ(table.enter(name), reference.enter(name)) << name.toStdString();
    }
    // Identical names are counted past 16 bits, in a table grown ahead.
    table.reserve(40000);
    for (int i = 0; i < 40000; ++i)
        ASSERT_EQ(table.enter("x.txt"), reference.enter("x.txt")) << i;
    EXPECT_EQ(table.enter("x.txt"), "x_40000.txt");
}

} // namespace
