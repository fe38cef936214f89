#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <string>
#include <vector>

// The rows of one of the application's tables. A cell beyond its row's
// elements shows "", and so does a header without a title; a text that is
// not valid UTF-8 shows as the model's replacement ("(NULL)" in listings,
// "" in editors). Editable models change a cell only where it exists.
class RowsModel : public QAbstractTableModel {
  public:
    using Rows = std::vector<std::vector<std::string>>;

    RowsModel(QStringList headers, QString invalidText, bool editable, QObject* parent = nullptr);

    void setRows(const Rows& rows);
    const Rows& rows() const { return rows_; }
    void appendRow(std::vector<std::string> row);
    void removeRowAt(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The text a cell shows.
    QString cellText(size_t row, size_t column) const;

  private:
    QStringList headers_;
    QString invalidText_;
    bool editable_;
    Rows rows_;
};
