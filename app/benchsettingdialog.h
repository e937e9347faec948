#pragma once

#include <QDialog>
#include <QList>

#include <memory>

namespace Ui {
class BenchSettingDialog;
}
class BenchSettingWrite;
class DeviceHost;

// A writable setting of the model and a value for the devices selected on the bench, all of one
// model; each device's outcome is shown in its bench row.
class BenchSettingDialog : public QDialog
{
    Q_OBJECT
public:
    BenchSettingDialog(BenchSettingWrite *write, const QList<DeviceHost *> &hosts, int model,
                       QWidget *parent = nullptr);
    ~BenchSettingDialog() override;

private:
    void settingChanged();
    void write();

    std::unique_ptr<Ui::BenchSettingDialog> ui;
    BenchSettingWrite *m_write;
    QList<DeviceHost *> m_hosts;
    int m_model;
};
