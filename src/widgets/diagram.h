#pragma once

#include "core/phasors.h"

#include <QColor>
#include <QDialog>
#include <QImage>

class QLabel;

// Phasor diagram of a three-phase meter: the three phase voltages and currents as lines from a
// common origin over a grid, the currents on a scale of their own that the picture states. The
// picture is drawn into an image the size of the window, shown by a label.
class Diagram : public QDialog
{
    Q_OBJECT
public:
    explicit Diagram(QWidget *parent = nullptr);

    // Voltages, active and reactive powers of phases A, B, C: the meter's integers / 1000.
    void setData(double uA, double uB, double uC, double pA, double pB, double pC, double qA,
                 double qB, double qC);

    const phasors::Vectors &vectors() const { return m_vectors; }
    // The picture of the last paint.
    QImage image() const { return m_image; }

    static const QColor kPhaseColours[3];

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void redraw();

    QLabel *m_label;
    QImage m_image;
    phasors::Plot m_plot;
    phasors::Vectors m_vectors;
    bool m_dirty = true;
};
