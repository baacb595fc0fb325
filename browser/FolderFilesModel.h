#pragma once

#include "browser/FileStore.h"
#include "filelist/DisplayFilter.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QStringList>

#include <memory>
#include <vector>

namespace tarvello::browser {

// The files of one folder that pass the display filter, in the order the
// user chose. Built for folders of a million files: the listing arrives in
// batches that are merged into the sorted rows, and a new listing of the
// same folder, compared with the shown one on the listing's thread, changes
// only the rows that differ (or, when most do, replaces them in one reset),
// so that selections and the scroll position survive changes on disk.
class FolderFilesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn = FileColumn::NameColumn,
        SizeColumn = FileColumn::SizeColumn,
        TypeColumn = FileColumn::TypeColumn,
        DateColumn = FileColumn::DateColumn,
        ColumnCount = FileColumn::ColumnCount
    };

    // The language's texts; a "\x01" in a format stands for the value.
    struct Texts {
        QStringList headers;
        QString sizeFormat;
        QString digitGroup;
        QString typeFormat;
        QString typeNone;
        QString dateFormat;
    };

    explicit FolderFilesModel(QObject *parent = nullptr);

    void setTexts(const Texts &texts);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sorts by the column; equal values fall back on the name.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The file shown at the row (0 <= row < rowCount()): its name as shown,
    // its bytes, and its index in files().
    QString name(int row) const { return m_files->name(m_rows[row]); }
    QByteArrayView nativeName(int row) const { return m_files->nativeName(m_rows[row]); }
    int fileIndex(int row) const { return m_rows[row]; }

    // The listing shown, every file whether it passes the filter or not.
    std::shared_ptr<const FileStore> files() const { return m_files; }
    ViewOrder order() const { return m_order; }

    // During a reset that a new listing brings (modelAboutToBeReset to
    // modelReset), the index in files() of the old listing's file i, or -1
    // when it went; outside one, i.
    int carriedIndex(int i) const;

    const filelist::DisplayFilter &filter() const { return m_filter; }
    // Shows only the files that pass the filter (the model is reset).
    void setFilter(const filelist::DisplayFilter &filter);

    // Forgets every file (the model is reset).
    void clear();

    // Takes newly found files in, at their sorted places.
    void addFiles(const FileStore &files);
    // The listing is complete: gives back the room kept for more files.
    void squeeze();

    // Brings the model to the folder's complete new listing: files that went
    // leave, new files come, changed sizes and dates are updated.
    void syncFiles(Resync changes);

    // The size column's text for the largest file listed since the last
    // clear (at least "999 Ko"), which is what that column must hold.
    QString widestSizeText() const;

    // Bytes the model holds for its files.
    qsizetype bytes() const;

private:
    bool less(int a, int b) const { return m_order.less(*m_files, a, b); }
    void applyOrder(const std::vector<int> &order);
    void replaceRows(Resync &changes);
    QString sizeText(qint64 size) const;
    QIcon iconFor(const QString &type) const;

    // Shared with a listing's thread while it compares; never changed then,
    // only replaced.
    std::shared_ptr<FileStore> m_files;
    // Indices into m_files of the rows shown, in view order.
    std::vector<int> m_rows;
    std::vector<int> m_carried;
    bool m_carrying = false;
    filelist::DisplayFilter m_filter;
    ViewOrder m_order;
    Texts m_texts;
    mutable QHash<QString, QIcon> m_icons;
    qint64 m_largest = 0;
};

} // namespace tarvello::browser
