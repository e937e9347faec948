#include "panels/calibwizard.h"

#include <QCloseEvent>
#include <QDebug>

CalibWizard::CalibWizard(QWidget *parent) : QWizard(parent) {}

CalibWizard::~CalibWizard() = default;

void CalibWizard::done(int result)
{
    qDebug("CalibWizard::done");
    if (result != QDialog::Rejected && !validateCurrentPage())
        return;
    emit almostDone(result);
}

void CalibWizard::closeEvent(QCloseEvent *event)
{
    qDebug("CalibWizard::closeEvent");
    event->ignore();
}
