#include "meters/devicelistitem.h"

#include "meters/rowlabel.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <limits>

namespace {
const QColor kOpenColour(92, 170, 100);
const QColor kClosedColour(0, 0, 0);
constexpr int kLabelX = 25;
} // namespace

deviceListItem::deviceListItem(QWidget *parent, DeviceRecord record)
    : QWidget(parent), m_tick(new QCheckBox(this)), m_label(new rowLabel(this)),
      m_record(std::move(record)), m_sessionTimer(new QTimer(this))
{
    setMinimumSize(10, kRowHeight);
    setMaximumSize(2500, kRowHeight);
    resize(width(), kRowHeight);

    m_tick->setObjectName(QStringLiteral("cbTick"));
    m_tick->setGeometry(5, 0, 20, 20);
    m_label->setObjectName(QStringLiteral("lblText"));
    // Presses anywhere on the row belong to the row.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setGeometry(kLabelX, 0, qMax(0, width() - kLabelX), height());

    m_sessionTimer->setObjectName(QStringLiteral("sessionTimer"));
    m_sessionTimer->setSingleShot(true);
    connect(m_tick, &QCheckBox::clicked, this, &deviceListItem::checkUpdate);
    connect(m_sessionTimer, &QTimer::timeout, this, &deviceListItem::sessionUp);
    updateView();
}

void deviceListItem::setRecord(const DeviceRecord &record)
{
    ++s_recordTakings;
    m_record = record;
    updateView();
}

void deviceListItem::updateView()
{
    m_label->setText(m_record.rowText());
    m_label->setColour(m_record.sessionOpen ? kOpenColour : kClosedColour);
    m_tick->setChecked(m_record.ticked);
    update();
}

void deviceListItem::startSessionTimer()
{
    const qint64 ms = qint64(qMax(1, m_record.sessionTimeout)) * 60000;
    startSessionTimer(int(qMin<qint64>(ms, std::numeric_limits<int>::max())));
}

void deviceListItem::startSessionTimer(int msec)
{
    m_sessionTimer->start(msec);
}

void deviceListItem::stopSessionTimer()
{
    m_sessionTimer->stop();
}

bool deviceListItem::isSessionTimerActive() const
{
    return m_sessionTimer->isActive();
}

void deviceListItem::restartSessionTimer()
{
    if (m_sessionTimer->isActive())
        m_sessionTimer->start();
}

void deviceListItem::checkUpdate()
{
    m_record.ticked = m_tick->isChecked();
}

void deviceListItem::sessionUp()
{
    m_record.sessionOpen = false;
    updateView();
}

void deviceListItem::paintEvent(QPaintEvent *)
{
    if (!m_record.current)
        return;
    QPainter p(this);
    p.setPen(QColor(50, 50, 255));
    p.setBrush(QColor(200, 200, 255));
    p.drawRect(1, 1, width() - 2, height() - 3);
}

void deviceListItem::resizeEvent(QResizeEvent *)
{
    m_label->setGeometry(kLabelX, 0, qMax(0, width() - kLabelX), height());
}

void deviceListItem::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const bool right = event->button() == Qt::RightButton;
    if (!m_record.current) {
        m_record.current = true;
        updateView();
        emit selected(this);
    }
    if (right)
        emit rightClick(this, pos);
}

void deviceListItem::mouseReleaseEvent(QMouseEvent *event)
{
    // The press was the row's; so is its release.
    event->accept();
}

void deviceListItem::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClick(this);
}
