#include "DatasetModel.h"

#include <QHeaderView>

DatasetModel::DatasetModel(db::Table& table, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)) {
    findFields();
    subscription_ = table_.subscribe([this](db::Dataset::Event e) {
        if (e == db::Dataset::Event::DataChanged) {
            beginResetModel();
            findFields();  // the table knows its columns once it is open
            endResetModel();
            emit currentRowChanged(table_.recNo());
        } else if (e == db::Dataset::Event::CurrentChanged) {
            emit currentRowChanged(table_.recNo());
        }
    });
}

void DatasetModel::findFields() {
    fieldNo_.clear();
    for (const auto& c : columns_) fieldNo_.push_back(table_.columnIndex(c.field));
}

DatasetModel::~DatasetModel() { table_.unsubscribe(subscription_); }

int DatasetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= table_.recordCount()) return {};
    const int c = index.column();
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(columns_[c].alignment | Qt::AlignVCenter);
    if (role != Qt::DisplayRole || fieldNo_[c] < 0) return {};
    db::Value v = table_.valueAt(index.row(), fieldNo_[c]);
    if (v.kind() == db::Value::Kind::Text) return decodeText(v.text(), codePage_);
    return QString::fromStdString(v.asString());
}

QVariant DatasetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < columnCount())
        return columns_[section].title;
    return QAbstractTableModel::headerData(section, o, role);
}

void DatasetModel::setCodePage(CodePage cp) {
    if (cp == codePage_) return;
    codePage_ = cp;
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

DBGrid::DBGrid(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);  // browse only
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->hide();
}

void DBGrid::setDatasetModel(DatasetModel* m) {
    model_ = m;
    setModel(m);
    for (size_t i = 0; i < m->columns().size(); ++i)
        setColumnWidth(static_cast<int>(i), m->columns()[i].width);
    connect(m, &DatasetModel::currentRowChanged, this, &DBGrid::showCurrent);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (syncing_ || !cur.isValid()) return;
                syncing_ = true;
                model_->table().moveTo(cur.row());
                syncing_ = false;
            });
    showCurrent(m->table().recNo());
}

void DBGrid::showCurrent(int row) {
    if (syncing_ || row < 0 || row >= model_->rowCount()) return;
    syncing_ = true;
    QModelIndex i = model_->index(row, std::max(0, currentIndex().column()));
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
    syncing_ = false;
}
