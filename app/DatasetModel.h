// Grids over the table objects: an item model that shows the rows of a table in its current
// order, and a browse-only grid view whose current row follows the table's cursor and moves it.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <string>
#include <vector>

#include "CodePage.h"
#include "Dataset.h"

struct GridColumn {
    std::string field;
    QString title;
    int width;
    Qt::Alignment alignment;
};

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetModel(db::Table& table, std::vector<GridColumn> columns, QObject* parent = nullptr);
    ~DatasetModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    const std::vector<GridColumn>& columns() const { return columns_; }
    db::Table& table() { return table_; }
    CodePage codePage() const { return codePage_; }
    void setCodePage(CodePage cp);

signals:
    void currentRowChanged(int row);

private:
    void findFields();
    db::Table& table_;
    std::vector<GridColumn> columns_;
    std::vector<int> fieldNo_;
    CodePage codePage_ = CodePage::Latinica;
    int subscription_;
};

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    void setDatasetModel(DatasetModel* m);
    DatasetModel* datasetModel() const { return model_; }

private:
    void showCurrent(int row);
    DatasetModel* model_ = nullptr;
    bool syncing_ = false;
};
