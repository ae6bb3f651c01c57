#pragma once

#include <QStringList>
#include <QWidget>

namespace Ui {
class AddressChanger;
}

// "Серийный номер и адрес": the text side of group work, one entry per line. The window only
// edits and splits the text; each button emits its signal and the configurator does the work.
// A text holding a blank is a list of coefficient lines, one without is a list of serial
// numbers or addresses, and only the writes of that kind are enabled.
class AddressChanger : public QWidget
{
    Q_OBJECT
public:
    explicit AddressChanger(QWidget *parent = nullptr);
    ~AddressChanger() override;

    // Splits the text at line feeds, empty lines dropped, keeps the lines and returns how many.
    int loadList();
    // The lines of the last loadList().
    const QStringList &lines() const { return m_lines; }
    // Whether two lines of the text as it is now (empty lines kept) are equal.
    bool hasDuplicates() const;
    // Appends `line` as a paragraph of its own.
    void appendLine(const QString &line);

signals:
    void saveSNExec();
    void saveAddrExec();
    void saveCCExec();
    void loadCCExec();

public slots:
    void listClear();
    void textChanged();
    // Left without a rule for the numbers it would make: its button stays disabled.
    void genRandomNumber();
    void pbWriteSNClick();
    void pbWriteAddrClick();
    void pbWriteCCClick();
    void pbReadCCClick();

private:
    Ui::AddressChanger *ui;
    QStringList m_lines;
};
