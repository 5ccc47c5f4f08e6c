#include "app/Gauge.h"

#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace valdrin::app {

TGauge::TGauge(QWidget *parent)
    : QWidget(parent)
{
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("GaugeCancelButton"));
    CancelButton->setToolTip(QStringLiteral("Прервать расчет (Esc)"));
    CancelButton->setFocusPolicy(Qt::NoFocus);
    connect(CancelButton, &QPushButton::clicked, this, &TGauge::CancelRequested);
    placeButton();
}

void TGauge::SetMinValue(int value)
{
    m_min = value;
    m_max = std::max(m_max, m_min);
    m_progress = std::clamp(m_progress, m_min, m_max);
    update();
}

void TGauge::SetMaxValue(int value)
{
    m_max = std::max(value, m_min);
    m_progress = std::clamp(m_progress, m_min, m_max);
    update();
}

void TGauge::SetProgress(int value)
{
    value = std::clamp(value, m_min, m_max);
    if (value == m_progress)
        return;
    m_progress = value;
    update();
}

int TGauge::PercentDone() const
{
    if (m_max <= m_min)
        return 0;
    return static_cast<int>(100LL * (m_progress - m_min) / (m_max - m_min));
}

QRect TGauge::pieRect() const
{
    const int side = std::max(std::min(width(), height()) / 3, 40);
    return { (width() - side) / 2, (height() - side) / 2 - 20, side, side };
}

void TGauge::placeButton()
{
    const QRect pie = pieRect();
    const QSize hint = CancelButton->sizeHint().expandedTo(QSize(90, 0));
    CancelButton->setGeometry(
        (width() - hint.width()) / 2, pie.bottom() + 16, hint.width(), hint.height());
}

void TGauge::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButton();
}

void TGauge::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The map stays faintly visible under the gauge.
    p.fillRect(rect(), QColor(255, 255, 255, 170));

    const QRect pie = pieRect();
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.setBrush(palette().color(QPalette::Base));
    p.drawEllipse(pie);
    const int span = -360 * 16 * PercentDone() / 100; // clockwise from 12 o'clock
    if (span != 0) {
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawPie(pie, 90 * 16, span);
    }

    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    p.setFont(f);
    const QString text = QStringLiteral("%1%").arg(PercentDone());
    const QRect textRect = p.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    QRect box(0, 0, textRect.width(), textRect.height());
    box.moveCenter(pie.center());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(box, 3, 3);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace valdrin::app
