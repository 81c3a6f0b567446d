#pragma once

#include <QTreeWidget>

namespace mirelo {

// The source list lvwAudioTracks: one row per media file to convert, in adding order.
// Columns: File Name, Start, End, Size, Format, Status, Video Time. Each row carries a hidden tag
// (Qt::UserRole of column 0) holding the same full path as its text.
class SourceListView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column {
        FileNameColumn = 0,
        StartColumn,
        EndColumn,
        SizeColumn,
        FormatColumn,
        StatusColumn,
        VideoTimeColumn,
        ColumnCount
    };

    explicit SourceListView(QWidget* parent = nullptr);
};

} // namespace mirelo
