#pragma once

#include "records/recordsdatabase.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QWidget>

#include <functional>

namespace Ui {
class RecordsWindow;
}
class QLabel;
class QSqlQueryModel;

// The calibration record of one device at a time, newest first, filtered by kind and date; exports
// the rows shown as CSV and the period as a calibration report, and lists the sensors that fall due.
// Reads the lab database when one is configured (every bench's events), else this bench's file;
// never writes.
class RecordsWindow : public QWidget
{
    Q_OBJECT
public:
    // Pictures of the trend charts as they are at the moment of the report.
    using ChartGrabber = std::function<QList<QImage>()>;

    static constexpr int kDueWithinDays = 30;

    explicit RecordsWindow(const QString &databasePath, QWidget *parent = nullptr);
    ~RecordsWindow() override;

    // Re-reads the file and picks `device` (the one open in the main window) when it is recorded.
    void showDevice(const RecordedDevice &device);
    void setChartGrabber(ChartGrabber grabber) { m_grabCharts = std::move(grabber); }
    // Re-reads the file: the devices and the rows shown.
    void reload();

    RecordedDevice shownDevice() const;
    // The rows shown, as the table shows them.
    QSqlQueryModel *model() const { return m_model; }
    // Local dates, both included.
    void setPeriod(const QDate &from, const QDate &to);
    QDateTime periodStartUtc() const;
    QDateTime periodEndUtc() const;

    bool exportCsv(const QString &path, QString *error);
    // Writes the report as PDF at `pdfPath` and as HTML beside it (same name, ".html").
    bool exportReport(const QString &pdfPath, const QString &technician, QString *error);

private:
    void fillDevices();
    // The sensors due within kDueWithinDays, from every bench the database holds.
    void fillDue();
    void selectRows();
    void resetPeriod();
    void chooseCsv();
    void chooseReport();
    QString suggestedPath(const QString &suffix) const;

    Ui::RecordsWindow *ui;
    QString m_path;
    RecordsDatabase m_database;
    QSqlQueryModel *m_model = nullptr;
    QLabel *m_due = nullptr;
    RecordedDevice m_wanted;
    ChartGrabber m_grabCharts;
};
