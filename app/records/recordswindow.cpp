#include "app/records/recordswindow.h"

#include "app/records/calibrationreport.h"
#include "records/csv.h"
#include "records/duedates.h"
#include "records/labstore.h"
#include "records/procedurereport.h"
#include "ui_recordswindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QSaveFile>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardPaths>

namespace {

enum Column
{
    Model = 12,
    Serial = 13
};

} // namespace

RecordsWindow::RecordsWindow(const QString &databasePath, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::RecordsWindow), m_path(databasePath)
{
    ui->setupUi(this);
    m_due = new QLabel(this);
    m_due->setObjectName(QStringLiteral("label_due"));
    m_due->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->verticalLayout->insertWidget(ui->verticalLayout->count() - 1, m_due);
    m_model = new QSqlQueryModel(this);
    ui->tableView_events->setModel(m_model);
    ui->comboBox_kind->addItem(tr("All kinds"), QString());
    for (const char *kind : {"read", "write", "action"})
        ui->comboBox_kind->addItem(QLatin1String(kind), QLatin1String(kind));
    const QDate today = QDate::currentDate();
    setPeriod(today.addDays(-30), today);

    connect(ui->comboBox_device, qOverload<int>(&QComboBox::activated), this, [this] {
        m_wanted = shownDevice();
        resetPeriod();
        selectRows();
    });
    connect(ui->comboBox_kind, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &RecordsWindow::selectRows);
    connect(ui->dateEdit_from, &QDateEdit::dateChanged, this, &RecordsWindow::selectRows);
    connect(ui->dateEdit_to, &QDateEdit::dateChanged, this, &RecordsWindow::selectRows);
    connect(ui->pushButton_export_csv, &QPushButton::clicked, this, &RecordsWindow::chooseCsv);
    connect(ui->pushButton_export_report, &QPushButton::clicked, this, &RecordsWindow::chooseReport);
    connect(ui->pushButton_close, &QPushButton::clicked, this, &QWidget::close);
}

RecordsWindow::~RecordsWindow()
{
    // The model's query must end before its connection goes.
    m_model->clear();
    delete ui;
}

void RecordsWindow::showDevice(const RecordedDevice &device)
{
    m_wanted = device;
    reload();
    resetPeriod();
    selectRows();
}

// The lab database when one is configured and answers: every bench's events. Otherwise this
// bench's file, with the reason beside it.
void RecordsWindow::reload()
{
    m_model->clear();
    QString labProblem;
    const LabTarget lab = LabTarget::configured();
    if (lab.isNull() || !m_database.openLab(lab)) {
        if (!lab.isNull())
            labProblem = tr("%1; showing this bench's record only.").arg(m_database.errorString());
        if (!m_database.open(m_path)) {
            ui->comboBox_device->clear();
            m_due->clear();
            ui->label_message->setText(labProblem.isEmpty() ? m_database.errorString() : labProblem);
            return;
        }
    }
    ui->label_message->setText(labProblem);
    fillDevices();
    fillDue();
    selectRows();
}

void RecordsWindow::fillDue()
{
    QString error;
    const QList<DueSensor> due = DueDates::list(m_database.database(), QDate::currentDate(), kDueWithinDays,
                                                DueDates::intervalMonths, &error);
    QStringList lines;
    for (const DueSensor &sensor : due)
        lines.append(DueDates::text(sensor));
    m_due->setText(lines.isEmpty() ? tr("No sensor falls due within %n days.", nullptr, kDueWithinDays)
                                   : tr("Due within %n days:", nullptr, kDueWithinDays) + QLatin1Char('\n') +
                                         lines.join(QLatin1Char('\n')));
    if (!error.isEmpty())
        m_due->setText(tr("Due dates cannot be read: %1").arg(error));
}

void RecordsWindow::fillDevices()
{
    QList<RecordedDevice> devices = m_database.devices();
    if (!m_wanted.serial.isEmpty() && !devices.contains(m_wanted))
        devices.prepend(m_wanted);
    const QSignalBlocker blocker(ui->comboBox_device);
    ui->comboBox_device->clear();
    for (const RecordedDevice &device : devices) {
        ui->comboBox_device->addItem(device.model + QLatin1Char(' ') + device.serial,
                                     QStringList{device.model, device.serial});
        if (device == m_wanted)
            ui->comboBox_device->setCurrentIndex(ui->comboBox_device->count() - 1);
    }
}

RecordedDevice RecordsWindow::shownDevice() const
{
    const QStringList id = ui->comboBox_device->currentData().toStringList();
    return id.size() == 2 ? RecordedDevice{id.at(0), id.at(1)} : RecordedDevice{};
}

void RecordsWindow::setPeriod(const QDate &from, const QDate &to)
{
    const QSignalBlocker fromBlocker(ui->dateEdit_from);
    const QSignalBlocker toBlocker(ui->dateEdit_to);
    ui->dateEdit_from->setDate(from);
    ui->dateEdit_to->setDate(to);
    selectRows();
}

// From the device's first event to today: everything recorded of it.
void RecordsWindow::resetPeriod()
{
    const QDateTime first =
        QDateTime::fromString(m_database.firstEventTime(shownDevice()), Qt::ISODateWithMs);
    const QDate today = QDate::currentDate();
    setPeriod(first.isValid() ? qMin(first.toLocalTime().date(), today) : today, today);
}

QDateTime RecordsWindow::periodStartUtc() const
{
    return QDateTime(ui->dateEdit_from->date(), QTime(0, 0)).toUTC();
}

QDateTime RecordsWindow::periodEndUtc() const
{
    return QDateTime(ui->dateEdit_to->date().addDays(1), QTime(0, 0)).toUTC();
}

void RecordsWindow::selectRows()
{
    const RecordedDevice device = shownDevice();
    if (!m_database.isOpen() || device.serial.isEmpty()) {
        m_model->clear();
        return;
    }
    QSqlQuery query(m_database.database());
    query.prepare(
        QStringLiteral("SELECT time_utc, utc_offset, kind, setting, command, value_before, value_written,"
                       " value_confirmed, outcome, details, firmware, tool_version, model, serial"
                       " FROM events WHERE model = ? AND serial = ? AND (coalesce(?, '') = '' OR kind = ?)"
                       " AND time_utc >= ? AND time_utc < ? ORDER BY time_utc DESC, id DESC"));
    const QString kind = ui->comboBox_kind->currentData().toString();
    for (const QVariant &value : {QVariant(device.model), QVariant(device.serial), QVariant(kind),
                                  QVariant(kind), QVariant(periodStartUtc().toString(Qt::ISODateWithMs)),
                                  QVariant(periodEndUtc().toString(Qt::ISODateWithMs))})
        query.addBindValue(value);
    if (!query.exec()) {
        ui->label_message->setText(query.lastError().text());
        return;
    }
    m_model->setQuery(query);
    const QStringList headers = {tr("Time (UTC)"), tr("UTC offset"),   tr("Kind"),     tr("Setting"),
                                 tr("Command"),    tr("Before"),       tr("Written"),  tr("Confirmed"),
                                 tr("Outcome"),    tr("Details"),      tr("Firmware"), tr("Tool version"),
                                 tr("Model"),      tr("Serial number")};
    for (int i = 0; i < headers.size(); ++i)
        m_model->setHeaderData(i, Qt::Horizontal, headers.at(i));
    ui->tableView_events->setColumnHidden(Model, true);
    ui->tableView_events->setColumnHidden(Serial, true);
    ui->tableView_events->resizeColumnsToContents();
}

bool RecordsWindow::exportCsv(const QString &path, QString *error)
{
    while (m_model->canFetchMore())
        m_model->fetchMore();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        QStringList cells;
        for (int column = 0; column < m_model->columnCount(); ++column)
            cells.append(m_model->headerData(column, Qt::Horizontal).toString());
        file.write(Csv::byteOrderMark() + Csv::line(cells));
        for (int row = 0; row < m_model->rowCount(); ++row) {
            cells.clear();
            for (int column = 0; column < m_model->columnCount(); ++column)
                cells.append(m_model->index(row, column).data().toString());
            file.write(Csv::line(cells));
        }
        if (file.commit())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}

bool RecordsWindow::exportReport(const QString &pdfPath, const QString &technician, QString *error)
{
    const RecordedDevice device = shownDevice();
    if (device.serial.isEmpty()) {
        if (error)
            *error = tr("No device is shown.");
        return false;
    }
    CalibrationReport report(device, m_database.events(device, periodEndUtc().toString(Qt::ISODateWithMs)),
                             periodStartUtc(), periodEndUtc(), technician);
    if (m_grabCharts)
        report.setChartImages(m_grabCharts());
    const QFileInfo pdf(pdfPath);
    const QString htmlPath = pdf.dir().filePath(pdf.completeBaseName() + QLatin1String(".html"));
    return report.writePdf(pdfPath, error) && report.writeHtml(htmlPath, error);
}

QString RecordsWindow::suggestedPath(const QString &suffix) const
{
    const RecordedDevice device = shownDevice();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder).filePath(device.model + QLatin1Char('_') + device.serial + QLatin1Char('_') +
                                 QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + suffix);
}

void RecordsWindow::chooseCsv()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export CSV"), suggestedPath(QStringLiteral(".csv")), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    ui->label_message->setText(exportCsv(path, &error) ? tr("Written: %1").arg(QDir::toNativeSeparators(path))
                                                       : tr("Not written: %1").arg(error));
}

void RecordsWindow::chooseReport()
{
    QSettings settings;
    QString technician = settings.value(QLatin1String(ProcedureReport::kTechnicianKey)).toString();
    if (technician.isEmpty()) {
        technician = QInputDialog::getText(this, tr("Export report"), tr("Technician name:")).trimmed();
        if (technician.isEmpty())
            return;
        settings.setValue(QLatin1String(ProcedureReport::kTechnicianKey), technician);
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export report"), suggestedPath(QStringLiteral("_report.pdf")), tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    ui->label_message->setText(exportReport(path, technician, &error)
                                   ? tr("Report written: %1 and .html").arg(QDir::toNativeSeparators(path))
                                   : tr("Not written: %1").arg(error));
}
