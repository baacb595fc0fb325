#include "rename/RenameTexts.h"
#include "lang/Language.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarvello;
using namespace tarvello::rename;

namespace {

class RenameTexts : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override { language.setLanguage(QString::fromUtf8(GetParam())); }

    // A text the user reads: present, its parameters filled in, holding what it must.
    static void expectReadable(const QString &text, const QStringList &mustHold = {})
    {
        EXPECT_FALSE(text.trimmed().isEmpty());
        EXPECT_FALSE(text.contains(QStringLiteral("%s"))) << text.toStdString();
        for (const QString &part : mustHold)
            EXPECT_TRUE(text.contains(part)) << text.toStdString() << " lacks " << part.toStdString();
    }

    lang::Language language{QStringLiteral(TARVELLO_SOURCE_DIR)};
};

} // namespace

TEST_P(RenameTexts, reportsNameThePathsTheUserMustKnowOf)
{
    RenameRun run{0, {}, EROFS, ENOSPC};
    run.report.failures = {
        {1, FailureStage::ToTemporary, EACCES, "/photos/a.jpg", "/photos/b.jpg", {}, "/photos/tmp_Tarv_1_a.jpg"},
        {2, FailureStage::TargetStayed, 0, "/photos/c.jpg", "/photos/a.jpg", {}, "/photos/tmp_Tarv_2_c.jpg"},
        {3, FailureStage::ToNew, EIO, "/photos/d\xC3\xA9.jpg", "/photos/e.jpg", "/photos/tmp_Tarv_3_d\xC3\xA9.jpg",
         "/photos/tmp_Tarv_3_d\xC3\xA9.jpg"},
        {4, FailureStage::ToNew, EEXIST, "/photos/f.jpg", "/photos/g.jpg", {}, "/photos/tmp_Tarv_4_f.jpg"},
        {5, FailureStage::ToTemporary, EEXIST, "/photos/h.jpg", "/photos/i.jpg", {}, "/photos/tmp_Tarv_5_h.jpg"},
    };
    run.report.attributesNotKept = {{"/mnt/usb/owned.jpg", AttributesLost{true, false, true}}};
    const QString ran = renameRunText(language, run, "/cfg");
    // Each failure names its file, its new path, and the temporary path it
    // is left at or that was taken from it.
    expectReadable(ran, {"/photos/a.jpg", "/photos/b.jpg", "/photos/c.jpg", "/photos/tmp_Tarv_3_d\xC3\xA9.jpg", "/photos/g.jpg",
                         "/photos/tmp_Tarv_5_h.jpg", errorReason(language, EROFS), "/cfg/history", errorReason(language, ENOSPC),
                         "/mnt/usb/owned.jpg", language.extra("RenameAttributeOwner"), language.extra("RenameAttributeTimes")});
    EXPECT_FALSE(ran.contains("tmp_Tarv_1_a.jpg") || ran.contains(language.extra("RenameAttributeMode"))) << ran.toStdString();
    EXPECT_TRUE(renameRunText(language, RenameRun{}, "/cfg").isEmpty());
    for (const int error : {EEXIST, EBUSY})
        expectReadable(renameRunText(language, RenameRun{error, {}, 0}, "/cfg"));
    expectReadable(renameRunText(language, RenameRun{ENOSPC, {}, 0}, "/cfg"), {"/cfg/rename.journal"});

    expectReadable(recoveryQuestion(language));
    RecoveryReport recovery;
    recovery.atNew = 7;
    recovery.leftAtTemporary = {"/photos/tmp_Tarv_1_a.jpg"};
    recovery.incompleteCopies = {"/mnt/usb/b.jpg"};
    recovery.missing = {{2, "/photos/gone.jpg", "/photos/tmp_Tarv_2_gone.jpg", "/photos/new.jpg", std::nullopt}};
    const QString recovered = recoveryText(language, recovery, "/cfg");
    expectReadable(recovered, {"7", "/photos/tmp_Tarv_1_a.jpg", "/mnt/usb/b.jpg", "/photos/gone.jpg", "/photos/tmp_Tarv_2_gone.jpg",
                               "/photos/new.jpg", "/cfg/rename.journal"});
    // An interrupted undo is told as one: its new names are the old ones.
    recovery.kind = JournalKind::Undo;
    const QString undone = recoveryText(language, recovery, "/cfg");
    expectReadable(undone, {"7"});
    EXPECT_NE(undone.section("\r\n", 0, 0), recovered.section("\r\n", 0, 0));
    recovery.unreadable = true;
    expectReadable(recoveryText(language, recovery, "/cfg"), {"/cfg/rename.journal"});
    recovery.busy = true;
    expectReadable(recoveryText(language, recovery, "/cfg"));

    UndoReport undo;
    undo.report.renamed = 12;
    undo.movedSince = {{"/photos/a.jpg", "/photos/gone.jpg", std::nullopt}};
    undo.plan.entries = {PlannedRename{}};
    undo.plan.entries[0].oldPath = "/photos/kept.jpg";
    undo.plan.entries[0].conflict = Conflict::TargetExists;
    expectReadable(undoText(language, undo, "/cfg"), {"12", "/photos/gone.jpg", "/photos/kept.jpg", conflictReason(language, Conflict::TargetExists)});
    undo.nothingToUndo = true;
    expectReadable(undoText(language, undo, "/cfg"));
    undo.recordError = EBADMSG;
    expectReadable(undoText(language, undo, "/cfg"), {"/cfg/rename.undo"});
}

INSTANTIATE_TEST_SUITE_P(Languages, RenameTexts, ::testing::Values("Français", "English"));
