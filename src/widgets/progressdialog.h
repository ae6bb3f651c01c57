#pragma once

#include <QDialog>

namespace Ui {
class progressDialog;
}

// Shown by the exchange engine while a batch or a search runs; the engine hides it.
class progressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit progressDialog(QWidget *parent = nullptr);
    ~progressDialog() override;

    void setProgress(int value);

signals:
    void interrupClick();

public slots:
    void pbInterruptClick();

private:
    Ui::progressDialog *ui;
};
