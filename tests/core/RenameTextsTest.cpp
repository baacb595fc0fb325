#include "files/RenameTexts.h"
#include "lang/Language.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tarvello;
using namespace tarvello::files;

namespace {

class RenameTexts : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override { language.setLanguage(QString::fromUtf8(GetParam())); }

    // A text the user reads: present, with its parameters filled in.
    void expectReadable(const QString &text, const QString &mustHold = {})
    {
        EXPECT_FALSE(text.trimmed().isEmpty());
        EXPECT_FALSE(text.contains(QStringLiteral("%s"))) << text.toStdString();
        if (!mustHold.isEmpty()) {
            EXPECT_TRUE(text.contains(mustHold)) << text.toStdString() << " lacks " << mustHold.toStdString();
        }
    }

    lang::Language language{QStringLiteral(TARVELLO_SOURCE_DIR)};
};

} // namespace

TEST_P(RenameTexts, everyReasonHasItsOwnText)
{
    QSet<QString> seen;
    for (const Conflict kind : {Conflict::TargetExists, Conflict::DuplicateTarget, Conflict::TargetHeldBack,
                                Conflict::InvalidName, Conflict::NoFolderRoot, Conflict::FolderUnavailable,
                                Conflict::DuplicateSource}) {
        const QString reason = conflictReason(language, kind);
        expectReadable(reason);
        EXPECT_FALSE(seen.contains(reason)) << reason.toStdString();
        seen.insert(reason);
    }
    for (const int error : {EEXIST, ENOENT, EACCES, EPERM, EROFS, ENOSPC, ENAMETOOLONG, ENOTDIR, EBUSY, EXDEV,
                            FileOps::kCopyMismatch}) {
        const QString reason = errorReason(language, error);
        expectReadable(reason);
        EXPECT_FALSE(seen.contains(reason)) << reason.toStdString();
        seen.insert(reason);
    }
    // Anything else shows the system's own number.
    expectReadable(errorReason(language, ELOOP), QString::number(ELOOP));
}

TEST_P(RenameTexts, failuresNameTheirPathsAndWhereAFileWasLeft)
{
    const QList<RenameFailure> failures = {
        {1, FailureStage::ToTemporary, EACCES, "/photos/a.jpg", "/photos/b.jpg", {}},
        {2, FailureStage::TargetStayed, 0, "/photos/c.jpg", "/photos/a.jpg", {}},
        {3, FailureStage::ToNew, EIO, "/photos/d\xC3\xA9.jpg", "/photos/e.jpg", "/photos/tmp_Tarv_3_d\xC3\xA9.jpg"},
    };
    const QString text = failuresText(language, failures);
    expectReadable(text, QStringLiteral("/photos/a.jpg"));
    expectReadable(text, QStringLiteral("/photos/c.jpg"));
    expectReadable(text, QStringLiteral("/photos/tmp_Tarv_3_dé.jpg"));
    expectReadable(text, QStringLiteral("3"));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 3);
    EXPECT_TRUE(failuresText(language, {}).isEmpty());

    RenameRun run;
    run.journalError = EEXIST;
    expectReadable(renameRunText(language, run, QStringLiteral("/cfg")));
    run.journalError = EBUSY;
    const QString busy = renameRunText(language, run, QStringLiteral("/cfg"));
    expectReadable(busy);
    EXPECT_NE(busy, renameRunText(language, RenameRun{EEXIST, {}, 0}, QStringLiteral("/cfg")));
    run.journalError = ENOSPC;
    expectReadable(renameRunText(language, run, QStringLiteral("/cfg")), QStringLiteral("/cfg/rename.journal"));
    run = RenameRun{};
    EXPECT_TRUE(renameRunText(language, run, QStringLiteral("/cfg")).isEmpty());
    run.undoError = EROFS;
    expectReadable(renameRunText(language, run, QStringLiteral("/cfg")), errorReason(language, EROFS));
}

TEST_P(RenameTexts, recoveryAndUndoReports)
{
    expectReadable(recoveryQuestion(language));
    RecoveryReport recovery;
    recovery.found = true;
    recovery.atNew = 7;
    recovery.atOld = 3;
    recovery.leftAtTemporary = {"/photos/tmp_Tarv_1_a.jpg"};
    recovery.incompleteCopies = {"/mnt/usb/b.jpg"};
    const QString recovered = recoveryText(language, recovery, QStringLiteral("/cfg"));
    expectReadable(recovered, QStringLiteral("7"));
    expectReadable(recovered, QStringLiteral("/photos/tmp_Tarv_1_a.jpg"));
    expectReadable(recovered, QStringLiteral("/mnt/usb/b.jpg"));
    RecoveryReport busy;
    busy.busy = true;
    expectReadable(recoveryText(language, busy, QStringLiteral("/cfg")));
    recovery.unreadable = true;
    expectReadable(recoveryText(language, recovery, QStringLiteral("/cfg")), QStringLiteral("/cfg/rename.journal"));

    UndoReport undo;
    undo.nothingToUndo = true;
    expectReadable(undoText(language, undo, QStringLiteral("/cfg")));
    undo = UndoReport{};
    undo.recordError = EBADMSG;
    expectReadable(undoText(language, undo, QStringLiteral("/cfg")), QStringLiteral("/cfg/rename.undo"));
    undo = UndoReport{};
    undo.report.renamed = 12;
    undo.movedSince = {{"/photos/a.jpg", "/photos/gone.jpg", std::nullopt}};
    PlannedRename blocked;
    blocked.oldPath = "/photos/kept.jpg";
    blocked.conflict = Conflict::TargetExists;
    undo.plan.entries = {blocked};
    const QString undone = undoText(language, undo, QStringLiteral("/cfg"));
    expectReadable(undone, QStringLiteral("12"));
    expectReadable(undone, QStringLiteral("/photos/gone.jpg"));
    expectReadable(undone, QStringLiteral("/photos/kept.jpg"));
    expectReadable(undone, conflictReason(language, Conflict::TargetExists));
}

INSTANTIATE_TEST_SUITE_P(Languages, RenameTexts, ::testing::Values("Français", "English"));
