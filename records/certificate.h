#pragma once

#include "records/procedurereport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The laboratory that issues certificates, as the settings name it ("lab/name", "lab/address").
struct Laboratory
{
    QString name;
    QString address; // lines separated by "\n"
    // From the application's settings (QSettings with the organisation and application set).
    static Laboratory fromSettings();
};

// A calibration certificate of one complete procedure as a PDF, drawn without Qt Gui so that the
// command line can write it: title, number, laboratory, item, dates, method, reference gases,
// results before and after adjustment, tolerance and decision rule, uncertainty, conditions, the
// person and the limitation of the results, with "Page x of y" on every page.
class Certificate
{
    Q_DECLARE_TR_FUNCTIONS(Certificate)

public:
    explicit Certificate(const ProcedureReport &report,
                         const Laboratory &laboratory = Laboratory::fromSettings());

    // Now unless set; also makes the certificate number.
    void setIssued(const QDateTime &issued);
    QDateTime issued() const { return m_issued; }
    // "TQ24-A1234-20261208-111500-123": model, serial and the time of issue in UTC to the
    // millisecond, so that two certificates never share a number.
    QString number() const;

    // Writes the PDF at `path` through a temporary file beside it, so a failed write leaves no
    // partial file and an existing one untouched. Refuses an incomplete report.
    bool write(const QString &path);
    QString errorString() const { return m_error; }

private:
    ProcedureReport m_report;
    Laboratory m_laboratory;
    QDateTime m_issued;
    QString m_error;
};
