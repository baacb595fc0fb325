#include "support/MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

using namespace tarvello;
using test::MainWindowFixture;

namespace {

// A picture of one colour, wider than high, saved under the name.
void savePicture(const QString &path, QSize size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

QImage shown(const QLabel *label)
{
    return label->pixmap().toImage();
}

QImage standBy(const MainWindowFixture &f, const char *name)
{
    return QImage(f.context.language.languageFolder() + QLatin1Char('/') + QLatin1String(name));
}

QStringList thumbnailNames(const QListWidget *view)
{
    QStringList names;
    for (int row = 0; row < view->count(); ++row)
        names.append(view->item(row)->text());
    return names;
}

// True once every thumbnail has its picture.
bool thumbnailsDrawn(const QListWidget *view)
{
    for (int row = 0; row < view->count(); ++row) {
        if (view->item(row)->icon().isNull())
            return false;
    }
    return view->count() > 0;
}

} // namespace

class tst_preview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void thePreviewShowsTheChosenPictureOrTheStandByPicture()
    {
        MainWindowFixture f;
        savePicture(f.path(QStringLiteral("red.jpg")), QSize(400, 200), Qt::red);
        QVERIFY(folderfixture::makeFiles(f.folder.path(), {QStringLiteral("notes.txt")}));
        QVERIFY(f.openFolder(f.folder.path(), 2));
        auto &ui = f.ui();
        browser::FileView &view = f.window->ListView1();
        ui.chkPreview->setChecked(true);
        QCOMPARE(f.context.settings.General_VisualiserImage, 1);
        // Nothing chosen yet.
        QCOMPARE(shown(ui.picturePreview), standBy(f, "non_image.gif").convertToFormat(shown(ui.picturePreview).format()));

        view.select({QStringLiteral("red.jpg")});
        QTest::keyRelease(&view, Qt::Key_Down);
        const auto red = [&] {
            const QImage image = shown(ui.picturePreview);
            const QColor centre = image.isNull() ? QColor() : QColor(image.pixel(image.width() / 2, image.height() / 2));
            return centre.red() > 200 && centre.green() < 60 && centre.blue() < 60;
        };
        QTRY_VERIFY(red());
        const QImage picture = shown(ui.picturePreview);
        QVERIFY(picture.width() <= ui.picturePreview->width() && picture.width() > picture.height());

        // A key that does not move the choice leaves the preview alone.
        view.select({QStringLiteral("notes.txt")});
        QTest::keyRelease(&view, Qt::Key_A);
        QTest::qWait(50);
        QCOMPARE(shown(ui.picturePreview), picture);
        QTest::keyRelease(&view, Qt::Key_Up);
        QTRY_COMPARE(shown(ui.picturePreview).size(), QSize(161, 121));

        // An entry of the rename list is previewed when pressed.
        f.window->affiche_nom(f.path(QStringLiteral("red.jpg")));
        QTest::mousePress(ui.lstrename->viewport(), Qt::LeftButton, {},
                          ui.lstrename->visualRect(f.window->fileList().index(0, 0)).center());
        QTRY_COMPARE(shown(ui.picturePreview), picture);

        ui.chkPreview->setChecked(false);
        QVERIFY(ui.picturePreview->pixmap().isNull());
        QCOMPARE(f.context.settings.General_VisualiserImage, 0);
    }

    void thumbnailsFollowTheFolderTheFilterAndRenames()
    {
        MainWindowFixture f;
        f.context.settings.thumbnailSizes[1] = {40, 30};
        f.context.settings.Option_TailleVignette = 1;
        savePicture(f.path(QStringLiteral("a.jpg")), QSize(400, 200), Qt::blue);
        savePicture(f.path(QStringLiteral("b.JPG")), QSize(100, 300), Qt::green);
        QVERIFY(folderfixture::makeFiles(f.folder.path(), {QStringLiteral("notes.txt")}));
        QVERIFY(f.openFolder(f.folder.path(), 3));
        auto &ui = f.ui();
        browser::FileView &view = f.window->ListView1();
        view.select({QStringLiteral("b.JPG")});

        ui.chkVignette->setChecked(true);
        QCOMPARE(ui.fileViews->currentWidget(), ui.ListView2);
        QCOMPARE(thumbnailNames(ui.ListView2), view.itemNames());
        QTRY_VERIFY(thumbnailsDrawn(ui.ListView2));
        const auto pictureOf = [&](const QString &name) {
            const QList<QListWidgetItem *> items = ui.ListView2->findItems(name, Qt::MatchExactly);
            return items.size() == 1 ? items.first()->icon().pixmap(QSize(40, 30)).toImage() : QImage();
        };
        // Each item is as high as its picture, though none had one when it was made.
        QVERIFY(ui.ListView2->visualItemRect(ui.ListView2->item(0)).height() > 30);
        QCOMPARE(pictureOf(QStringLiteral("a.jpg")).size(), QSize(40, 20));
        QCOMPARE(pictureOf(QStringLiteral("b.JPG")).size(), QSize(10, 30));
        QVERIFY(pictureOf(QStringLiteral("notes.txt")).size() != QSize(40, 20));
        // The choice goes across both ways.
        QCOMPARE(ui.ListView2->selectedItems().size(), 1);
        QCOMPARE(ui.ListView2->selectedItems().first()->text(), QStringLiteral("b.JPG"));
        ui.ListView2->clearSelection();
        ui.ListView2->findItems(QStringLiteral("a.jpg"), Qt::MatchExactly).first()->setSelected(true);

        ui.txtFilter->setText(QStringLiteral("*.jpg"));
        QCOMPARE(thumbnailNames(ui.ListView2), (QStringList{"a.jpg", "b.JPG"}));
        QCOMPARE(ui.ListView2->selectedItems().first()->text(), QStringLiteral("a.jpg"));

        // The program's rename and a rename behind its back both show.
        f.window->affiche_nom(f.path(QStringLiteral("a.jpg")));
        ui.cboRenommer->setCurrentText(QStringLiteral("sea"));
        f.window->update_names();
        f.window->cmdRenommer_Click();
        QVERIFY(QFile::exists(f.path(QStringLiteral("sea.jpg"))));
        QTRY_COMPARE(thumbnailNames(ui.ListView2), (QStringList{"b.JPG", "sea.jpg"}));
        QVERIFY(QFile::rename(f.path(QStringLiteral("b.JPG")), f.path(QStringLiteral("c.jpg"))));
        QTRY_COMPARE(thumbnailNames(ui.ListView2), (QStringList{"c.jpg", "sea.jpg"}));
        QTRY_VERIFY(thumbnailsDrawn(ui.ListView2));
        QCOMPARE(pictureOf(QStringLiteral("c.jpg")).size(), QSize(10, 30));

        ui.chkVignette->setChecked(false);
        QCOMPARE(ui.fileViews->currentWidget(), &view);
        QCOMPARE(view.selectedNames(), QStringList{"sea.jpg"});
    }
};

QTEST_MAIN(tst_preview)
#include "tst_preview.moc"
