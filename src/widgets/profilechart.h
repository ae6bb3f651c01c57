#pragma once

#include <QList>
#include <QWidget>

// The archive's power profile at a glance: the energy of every integration period over time,
// active energy as bars and, for a three-phase meter, reactive energy as a line, over round
// axes. Painted anew from the samples on every paint.
class ProfileChart : public QWidget
{
    Q_OBJECT
public:
    struct Sample
    {
        qint64 end = 0;      // end of the period, seconds since 1970 on the meter's clock
        double active = 0;   // kWh of the period; NaN when unknown
        double reactive = 0; // likewise; drawn only with `reactive` set
    };

    explicit ProfileChart(QWidget *parent = nullptr);

    // Replaces the samples (in any order) and repaints.
    void setProfile(const QList<Sample> &samples, bool reactive);
    const QList<Sample> &samples() const { return m_samples; }

    QSize sizeHint() const override { return {420, 260}; }
    QSize minimumSizeHint() const override { return {220, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<Sample> m_samples; // ascending by end
    bool m_reactive = false;
};
