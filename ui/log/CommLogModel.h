#pragma once
// The rows of the communication log: one per frame that crossed the link, the newest last, at
// most kMaxRows (the oldest go first). Columns: the time in milliseconds since the log began,
// the direction ("→ unit", "← unit"), the description (FrameDecoder.h) and the bytes in hex,
// cut with "…" after kShownBytes bytes; the tool tip of a row holds every byte.
//
// Rows arrive in batches (Append), each one insertion for the view, so a stream of frames
// repaints the table once per batch, not once per frame.
//
// GUI thread only.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <deque>
#include <vector>

#include "link/LinkTap.h"

class CCommLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, DirectionColumn, DescriptionColumn, BytesColumn, kColumnCount };
    static constexpr int kMaxRows = 10000;
    static constexpr int kShownBytes = 24;

    struct Row {
        double ms = 0;  // since the log began
        LinkDirection direction = LinkDirection::ToUnit;
        QString description;
        QByteArray bytes;
    };

    explicit CCommLogModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Adds the rows at the end, dropping the oldest beyond kMaxRows.
    void Append(std::vector<Row> rows);
    void Clear();
    const Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

    // One row as text, every byte included: "<ms>\t-> or <-\t<description>\t<hex>" (the
    // command line's trace line).
    static QString RowText(const Row& row);
    static QString Hex(const QByteArray& bytes);

private:
    std::deque<Row> m_rows;
};
