// Placeholder until the recordset lands: keeps the properties only.
#include "data_control.h"

#include "store_error.h"

struct DataControl::State {
    QString databaseName;
    QString connect = QStringLiteral("Access");
    QString recordSource = QStringLiteral("address");
    QString caption = QStringLiteral("Data1");
};

DataControl::DataControl(QWidget* parent) : QWidget(parent), d(std::make_unique<State>()) {}
DataControl::~DataControl() = default;
QString DataControl::DatabaseName() const { return d->databaseName; }
void DataControl::setDatabaseName(const QString& path) { d->databaseName = path; }
QString DataControl::Connect() const { return d->connect; }
void DataControl::setConnect(const QString& connect) { d->connect = connect; }
QString DataControl::RecordSource() const { return d->recordSource; }
void DataControl::setRecordSource(const QString& recordSource) { d->recordSource = recordSource; }
QString DataControl::Caption() const { return d->caption; }
void DataControl::setCaption(const QString& caption) { d->caption = caption; }
void DataControl::setBaseDirectory(const QString&) {}
void DataControl::Refresh() {}
void DataControl::setStepRunner(StepRunner) {}
