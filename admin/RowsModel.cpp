#include "admin/RowsModel.h"

#include <QStringDecoder>

RowsModel::RowsModel(QStringList headers, QString invalidText, bool editable, QObject* parent)
    : QAbstractTableModel(parent),
      headers_(std::move(headers)),
      invalidText_(std::move(invalidText)),
      editable_(editable) {}

void RowsModel::setRows(const Rows& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void RowsModel::appendRow(std::vector<std::string> row) {
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void RowsModel::removeRowAt(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

int RowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QString RowsModel::cellText(size_t row, size_t column) const {
    if (row >= rows_.size() || column >= rows_[row].size()) {
        return {};
    }
    const std::string& bytes = rows_[row][column];
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text =
        decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return decoder.hasError() ? invalidText_ : text;
}

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return cellText(static_cast<size_t>(index.row()), static_cast<size_t>(index.column()));
}

QVariant RowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return section >= 0 && section < headers_.size() ? headers_[section] : QString();
}

Qt::ItemFlags RowsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (editable_ && index.isValid()) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool RowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!editable_ || role != Qt::EditRole || !index.isValid()) {
        return false;
    }
    auto& row = rows_[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    if (column >= row.size()) {
        return false;
    }
    row[column] = value.toString().toStdString();
    emit dataChanged(index, index);
    return true;
}
