#pragma once

#include "app/dev_info.h"

#include <QList>
#include <QWidget>

namespace Ui {
class SelectDevice;
}
class QListWidgetItem;

// The list of attached devices; activating an entry asks the main window to open it.
class SelectDevice : public QWidget
{
    Q_OBJECT
public:
    explicit SelectDevice(QWidget *parent = nullptr);
    ~SelectDevice() override;

    // Appends an entry for every device not listed yet.
    void addDevices(const QList<Dev_info> &devices);
    // Removes every entry whose device is not in the list.
    void removeMissingDevices(const QList<Dev_info> &devices);

    static QString entryText(const Dev_info &device);

signals:
    void selectedDevice(Dev_info device);

private:
    void onItemActivated(QListWidgetItem *item);

    Ui::SelectDevice *ui;
    QString m_port;
    QString m_serialNo;
};
