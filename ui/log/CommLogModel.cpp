#include "ui/log/CommLogModel.h"

#include <algorithm>

int CCommLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CCommLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CCommLogModel::Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString CCommLogModel::RowText(const Row& row) {
    return QString::number(row.ms, 'f', 3) + QLatin1Char('\t') +
           (row.direction == LinkDirection::ToUnit ? QStringLiteral("->") : QStringLiteral("<-")) +
           QLatin1Char('\t') + row.description + QLatin1Char('\t') + Hex(row.bytes);
}

QVariant CCommLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = RowAt(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case TimeColumn:
                return QString::number(row.ms, 'f', 3);
            case DirectionColumn:
                return row.direction == LinkDirection::ToUnit ? tr("→ unit") : tr("← unit");
            case DescriptionColumn:
                return row.description;
            case BytesColumn:
                if (row.bytes.size() <= kShownBytes) return Hex(row.bytes);
                return Hex(row.bytes.left(kShownBytes)) + QStringLiteral(" …");
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole && index.column() == BytesColumn) {
        // Sixteen bytes a line, so that a long frame's tip stays on the screen's width.
        QString tip;
        for (qsizetype at = 0; at < row.bytes.size(); at += 16) {
            if (!tip.isEmpty()) tip += QLatin1Char('\n');
            tip += Hex(row.bytes.mid(at, 16));
        }
        return tip;
    }
    if (role == Qt::TextAlignmentRole && index.column() == TimeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant CCommLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case TimeColumn:
            return tr("Time (ms)");
        case DirectionColumn:
            return tr("Direction");
        case DescriptionColumn:
            return tr("Frame");
        case BytesColumn:
            return tr("Bytes");
        default:
            return {};
    }
}

void CCommLogModel::Append(std::vector<Row> rows) {
    if (rows.empty()) return;
    // Of a batch larger than the log, only its newest rows can stay.
    if (rows.size() > static_cast<std::size_t>(kMaxRows))
        rows.erase(rows.begin(), rows.end() - kMaxRows);
    const int excess = static_cast<int>(m_rows.size() + rows.size()) - kMaxRows;
    if (excess > 0) {
        beginRemoveRows({}, 0, excess - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + excess);
        endRemoveRows();
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (Row& row : rows) m_rows.push_back(std::move(row));
    endInsertRows();
}

void CCommLogModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
