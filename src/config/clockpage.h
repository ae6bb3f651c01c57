#pragma once

#include "config/configpage.h"

#include <QDateTime>

namespace Ui {
class ClockPage;
}
class QTimer;

// Page "Часы": the meter's clock against the computer's, the time written to it, and its
// daylight-saving mode.
class ClockPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ClockPage(PageHost *host, QWidget *parent = nullptr);
    ~ClockPage() override;

    // Whole hours added to the computer clock for the time written (the calibration pages set
    // it before their time step).
    void setTimeShift(int hours);
    // Milliseconds the computer's clock is ahead of the meter's, from the last time read.
    qint64 clockOffset() const { return m_clockOffset; }

public slots:
    void loadTimeClick();
    // Writes the time of "Текущее:", fresh from the computer clock when that is followed.
    void SaveTimeClick();
    // Writes `time` to the current meter.
    void SaveTimeInit(const QDateTime &time);
    // The time write as group work over the checked meters.
    void SaveRealTimeAll();
    void loadTimeModeClick();
    void SaveTimeModeClick();
    // Refreshes the three clock displays while "Системное время" is down.
    void clockTic();
    void pbCurrentTimeAutoClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Ticks only while the displays follow the computer's clock and can be seen.
    void updateTicking();

    Ui::ClockPage *ui;
    QTimer *m_clockTimer;
    qint64 m_clockOffset = 0;
};
