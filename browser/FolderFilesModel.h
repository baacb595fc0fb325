#pragma once

#include "browser/FolderReader.h"
#include "filelist/DisplayFilter.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QStringList>

#include <vector>

namespace tarvello::browser {

// The files of one folder that pass the display filter, in the order the
// user chose. Built for folders of a hundred thousand files: the listing
// arrives in batches that are merged into the sorted rows, and a new listing
// of the same folder changes only the rows that differ, so that selections
// and the scroll position survive changes on disk.
class FolderFilesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, ColumnCount };

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

    // The file shown at the row (0 <= row < rowCount()).
    const ListedFile &entry(int row) const { return m_all[m_rows[row]]; }

    // Row of the file with these name bytes, or -1 when it is not shown.
    int rowOf(const QByteArray &nativeName) const;

    const filelist::DisplayFilter &filter() const { return m_filter; }
    // Shows only the files that pass the filter (the model is reset).
    void setFilter(const filelist::DisplayFilter &filter);

    // Forgets every file (the model is reset).
    void clear();

    // Takes newly found files in, at their sorted places.
    void addFiles(const FileBatch &files);

    // Brings the model to the folder's complete new listing: files that went
    // leave, new files come, changed sizes and dates are updated.
    void syncFiles(const FileBatch &files);

    // The size column's text for the largest file listed since the last
    // clear (at least "999 Ko"), which is what that column must hold.
    QString widestSizeText() const;

private:
    bool less(int a, int b) const;
    void applyOrder(const std::vector<int> &order);
    void rebuildRows();
    QString sizeText(qint64 size) const;
    QIcon iconFor(const QString &type) const;

    std::vector<ListedFile> m_all;
    // Indices into m_all of the rows shown, in view order.
    std::vector<int> m_rows;
    filelist::DisplayFilter m_filter;
    int m_sortColumn = NameColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    Texts m_texts;
    mutable QHash<QString, QIcon> m_icons;
    qint64 m_largest = 0;
};

} // namespace tarvello::browser
