#include "app/selectdevice.h"

#include "ui_selectdevice.h"

#include <QSet>

SelectDevice::SelectDevice(QWidget *parent) : QWidget(parent), ui(new Ui::SelectDevice)
{
    qRegisterMetaType<Dev_info>("Dev_info");
    ui->setupUi(this);
    connect(ui->listWidget, &QListWidget::itemActivated, this, &SelectDevice::onItemActivated);
}

SelectDevice::~SelectDevice()
{
    delete ui;
}

QString SelectDevice::entryText(const Dev_info &device)
{
    return QLatin1Char('[') + device.port + QLatin1String("] - ") + device.serialNo;
}

void SelectDevice::addDevices(const QList<Dev_info> &devices)
{
    for (const Dev_info &device : devices) {
        const QString text = entryText(device);
        if (!ui->listWidget->findItems(text, Qt::MatchContains).isEmpty())
            continue;
        auto *item = new QListWidgetItem(text);
        item->setData(Qt::StatusTipRole, device.port);
        item->setData(Qt::ToolTipRole, device.serialNo);
        ui->listWidget->addItem(item);
    }
}

void SelectDevice::removeMissingDevices(const QList<Dev_info> &devices)
{
    QSet<QString> present;
    for (const Dev_info &device : devices)
        present.insert(entryText(device));
    for (int row = ui->listWidget->count() - 1; row >= 0; --row) {
        if (!present.contains(ui->listWidget->item(row)->text()))
            delete ui->listWidget->takeItem(row);
    }
}

void SelectDevice::onItemActivated(QListWidgetItem *item)
{
    m_port = item->data(Qt::StatusTipRole).toString();
    m_serialNo = item->data(Qt::ToolTipRole).toString();
    emit selectedDevice(Dev_info{m_port, m_serialNo});
}
