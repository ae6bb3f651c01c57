#pragma once

#include "core/devicerecord.h"

#include <QWidget>

class QCheckBox;
class rowLabel;
class QTimer;

// One row of the meter list: tick box, text, and the meter's record. The engine and the
// configurator read and change the record directly, then call updateView().
class deviceListItem : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 20;

    deviceListItem(QWidget *parent, DeviceRecord record);

    // Whoever takes the record to change it may change its place in the list: the count of such
    // takings tells the list when to check its order again.
    DeviceRecord &record()
    {
        ++s_recordTakings;
        return m_record;
    }
    const DeviceRecord &record() const { return m_record; }
    void setRecord(const DeviceRecord &record);
    static quint64 recordTakings() { return s_recordTakings; }

    // Label text and colour, tick box and current-row frame from the record.
    void updateView();

    // The session hold timer: sessionUp() closes the session when it runs out.
    void startSessionTimer(); // sessionTimeout minutes
    void startSessionTimer(int msec);
    void stopSessionTimer();
    bool isSessionTimerActive() const;
    // Starts the running timer again with its interval; a stopped timer stays stopped.
    void restartSessionTimer();

signals:
    void selected(deviceListItem *item);
    void doubleClick(deviceListItem *item);
    void rightClick(deviceListItem *item, QPoint pos);

public slots:
    void checkUpdate();
    void sessionUp();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QCheckBox *m_tick;
    rowLabel *m_label;
    DeviceRecord m_record;
    QTimer *m_sessionTimer;

    static inline quint64 s_recordTakings = 0;
};
