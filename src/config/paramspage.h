#pragma once

#include "config/configpage.h"
#include "core/settingsdecoders.h"

#include <QByteArray>

namespace Ui {
class ParamsPage;
}
class QCheckBox;

// Page "Параметры": link, display, passwords, serial number and model.
class ParamsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ParamsPage(PageHost *host, QWidget *parent = nullptr);
    ~ParamsPage() override;
    void applyAccessLevel(int level) override;

public slots:
    void loadLinkClick();
    void SaveLinkClick();
    void StdLinkClick();
    void loadDisplayClick();
    void SaveDisplayClick();
    void SaveDisplayClickAll();
    void StdDisplayClick();
    void loadPwdClick();
    void savePwdClick();
    void inputPwd();
    void inputPwdHex();
    void loadDeviceIDClick();
    // Reads the serial number into the meter's list entry and ends the meter's session.
    void loadDeviceIDSpecClick();
    void saveDeviceIDClick();
    void inputDeviceID();
    void inputDeviceIDHex();
    // Writes the chosen model name to a three-phase meter.
    void SaveMdlClick();
    // Group work over the address changer's list: the meter's line written as its serial number
    // (at most 15 characters), or as its address (1 to 255) with the link settings shown. A line
    // that is neither is refused with a red line and nothing is sent.
    void saveDeviceIDFromList();
    void SaveLinkFromList();

private:
    void showLink(const settings::Link &link);
    void showDisplay(MeterSeries series, const settings::Display &display);
    settings::Display display(MeterSeries series) const;
    QList<QCheckBox *> displayBoxes(MeterSeries series) const;
    // The serial number read: shown, and for `intoList` also given to the meter's list entry.
    void serialRead(const QList<QByteArray> &replies, bool intoList);
    int linkWritten(int status);
    void sendModel();

    Ui::ParamsPage *ui;
    // The address of the last link write made outside group work.
    void sendLink(const settings::Link &link, bool fromList);
    int m_lastAddress = -1;
    int m_lastHold = 10;
    bool m_linkFromList = false;
    // The password as read: bytes behind a zero byte that the text view cannot show.
    QByteArray m_pwdRead;
};
