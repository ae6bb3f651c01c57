#pragma once

#include "core/devicerecord.h"

#include <QDialog>

namespace Ui {
class itemEditDialog;
}

// "Добавить счетчик": edits one meter record for the meter list. The configurator fills it with
// setRecord(), shows it, and takes record() when clickOk() comes.
class itemEditDialog : public QDialog
{
    Q_OBJECT
public:
    explicit itemEditDialog(QWidget *parent = nullptr);
    ~itemEditDialog() override;

    // Shows every field the dialog edits: address, stand position, password, serial number.
    void setRecord(const DeviceRecord &record);
    const DeviceRecord &record() const { return m_record; }

signals:
    void clickOk();

public slots:
    void inputPwdHex();
    void inputPwd();
    void closeClicked();
    void checkStdPwd();
    void checkUseSn();
    void okClicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::itemEditDialog *ui;
    DeviceRecord m_record;
};
