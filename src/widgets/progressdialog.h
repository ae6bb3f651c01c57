#pragma once

#include <QDialog>
#include <QTimer>

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

    // The bar takes a new value at most every kRedrawMs (it repaints itself at once on each, and
    // a fast batch moves it hundreds of times a second); the last one always arrives.
    void setProgress(int value);
    static constexpr int kRedrawMs = 50;

signals:
    void interrupClick();

public slots:
    void pbInterruptClick();

private:
    Ui::progressDialog *ui;
    QTimer m_redraw;
    int m_value = 0;
};
