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
    const QList<RenameFailure> failures = {
        {1, FailureStage::ToTemporary, EACCES, "/photos/a.jpg", "/photos/b.jpg", {}, "/photos/tmp_Tarv_1_a.jpg"},
        {2, FailureStage::TargetStayed, 0, "/photos/c.jpg", "/photos/a.jpg", {}, "/photos/tmp_Tarv_2_c.jpg"},
        {3, FailureStage::ToNew, EIO, "/photos/d\xC3\xA9.jpg", "/photos/e.jpg", "/photos/tmp_Tarv_3_d\xC3\xA9.jpg",
         "/photos/tmp_Tarv_3_d\xC3\xA9.jpg"},
        {4, FailureStage::ToNew, EEXIST, "/photos/f.jpg", "/photos/g.jpg", {}, "/photos/tmp_Tarv_4_f.jpg"},
        {5, FailureStage::ToTemporary, EEXIST, "/photos/h.jpg", "/photos/i.jpg", {}, "/photos/tmp_Tarv_5_h.jpg"},
    };
    RenameRun run{0, {}, EROFS, ENOSPC};
    run.report.failures = failures;
    run.report.attributesNotKept = {{"/mnt/usb/owned.jpg", AttributesLost{true, false, true}}};
    const QString ran = renameRunText(language, run, QStringLiteral("/cfg"));
    // Each failure names its file, its new path, and the temporary path it
    // is left at or that was taken from it.
    expectReadable(ran, {QStringLiteral("/photos/a.jpg"), QStringLiteral("/photos/b.jpg"), QStringLiteral("/photos/c.jpg"),
                         QStringLiteral("/photos/tmp_Tarv_3_dé.jpg"), QStringLiteral("/photos/g.jpg"),
                         QStringLiteral("/photos/tmp_Tarv_5_h.jpg"), errorReason(language, EROFS),
                         QStringLiteral("/cfg/history"), errorReason(language, ENOSPC), QStringLiteral("/mnt/usb/owned.jpg"),
                         language.extra(QStringLiteral("RenameAttributeOwner")), language.extra(QStringLiteral("RenameAttributeTimes"))});
    EXPECT_FALSE(ran.contains(QStringLiteral("tmp_Tarv_1_a.jpg")) || ran.contains(language.extra(QStringLiteral("RenameAttributeMode"))))
        << ran.toStdString();
    EXPECT_TRUE(renameRunText(language, RenameRun{}, QStringLiteral("/cfg")).isEmpty());
    for (const int error : {EEXIST, EBUSY, ENOSPC})
        expectReadable(renameRunText(language, RenameRun{error, {}, 0}, QStringLiteral("/cfg")));
    expectReadable(renameRunText(language, RenameRun{ENOSPC, {}, 0}, QStringLiteral("/cfg")), {QStringLiteral("/cfg/rename.journal")});

    expectReadable(recoveryQuestion(language));
    RecoveryReport recovery;
    recovery.atNew = 7;
    recovery.leftAtTemporary = {"/photos/tmp_Tarv_1_a.jpg"};
    recovery.incompleteCopies = {"/mnt/usb/b.jpg"};
    recovery.missing = {{2, "/photos/gone.jpg", "/photos/tmp_Tarv_2_gone.jpg", "/photos/new.jpg", std::nullopt}};
    const QString recovered = recoveryText(language, recovery, QStringLiteral("/cfg"));
    expectReadable(recovered, {QStringLiteral("7"), QStringLiteral("/photos/tmp_Tarv_1_a.jpg"), QStringLiteral("/mnt/usb/b.jpg"),
                               QStringLiteral("/photos/gone.jpg"), QStringLiteral("/photos/tmp_Tarv_2_gone.jpg"),
                               QStringLiteral("/photos/new.jpg"), QStringLiteral("/cfg/rename.journal")});
    // An interrupted undo is told as one: its new names are the old ones.
    recovery.kind = JournalKind::Undo;
    const QString undone = recoveryText(language, recovery, QStringLiteral("/cfg"));
    expectReadable(undone, {QStringLiteral("7")});
    EXPECT_NE(undone.section(QStringLiteral("\r\n"), 0, 0), recovered.section(QStringLiteral("\r\n"), 0, 0));
    recovery.unreadable = true;
    expectReadable(recoveryText(language, recovery, QStringLiteral("/cfg")), {QStringLiteral("/cfg/rename.journal")});
    recovery.busy = true;
    expectReadable(recoveryText(language, recovery, QStringLiteral("/cfg")));

    UndoReport undo;
    undo.report.renamed = 12;
    undo.movedSince = {{"/photos/a.jpg", "/photos/gone.jpg", std::nullopt}};
    PlannedRename blocked;
    blocked.oldPath = "/photos/kept.jpg";
    blocked.conflict = Conflict::TargetExists;
    undo.plan.entries = {blocked};
    expectReadable(undoText(language, undo, QStringLiteral("/cfg")),
                   {QStringLiteral("12"), QStringLiteral("/photos/gone.jpg"), QStringLiteral("/photos/kept.jpg"),
                    conflictReason(language, Conflict::TargetExists)});
    undo.nothingToUndo = true;
    expectReadable(undoText(language, undo, QStringLiteral("/cfg")));
    undo.recordError = EBADMSG;
    expectReadable(undoText(language, undo, QStringLiteral("/cfg")), {QStringLiteral("/cfg/rename.undo")});
}

INSTANTIATE_TEST_SUITE_P(Languages, RenameTexts, ::testing::Values("Français", "English"));
