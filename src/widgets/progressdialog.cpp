#include "widgets/progressdialog.h"

#include "ui_progressdialog.h"

progressDialog::progressDialog(QWidget *parent) : QDialog(parent), ui(new Ui::progressDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(371, 78);
    connect(ui->pbInterrupt, &QPushButton::clicked, this, &progressDialog::pbInterruptClick);
}

progressDialog::~progressDialog()
{
    delete ui;
}

void progressDialog::setProgress(int value)
{
    ui->pbProg->setValue(value);
}

void progressDialog::pbInterruptClick()
{
    emit interrupClick();
}
