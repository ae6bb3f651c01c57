#include "widgets/progressdialog.h"

#include "ui_progressdialog.h"

progressDialog::progressDialog(QWidget *parent) : QDialog(parent), ui(new Ui::progressDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(371, 78);
    connect(ui->pbInterrupt, &QPushButton::clicked, this, &progressDialog::pbInterruptClick);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawMs);
    connect(&m_redraw, &QTimer::timeout, this, [this] {
        if (ui->pbProg->value() != m_value) {
            ui->pbProg->setValue(m_value);
            m_redraw.start();
        }
    });
}

progressDialog::~progressDialog()
{
    delete ui;
}

void progressDialog::setProgress(int value)
{
    m_value = value;
    // A new run starts from 0 at once.
    if (m_redraw.isActive() && value != 0)
        return;
    ui->pbProg->setValue(value);
    m_redraw.start();
}

void progressDialog::pbInterruptClick()
{
    emit interrupClick();
}
