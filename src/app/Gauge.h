// The pie-shaped progress gauge laid over the map while a computation runs,
// with a button that cancels the run.
#pragma once

#include <QWidget>

class QPushButton;

namespace valdrin::app {

class TGauge : public QWidget {
    Q_OBJECT

public:
    explicit TGauge(QWidget *parent = nullptr);

    int MinValue() const { return m_min; }
    int MaxValue() const { return m_max; }
    int Progress() const { return m_progress; }
    void SetMinValue(int value);
    void SetMaxValue(int value);
    void SetProgress(int value); // kept within MinValue..MaxValue
    int PercentDone() const; // 0..100

    QPushButton *CancelButton = nullptr;

signals:
    void CancelRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRect pieRect() const;
    void placeButton();

    int m_min = 0;
    int m_max = 100;
    int m_progress = 0;
};

} // namespace valdrin::app
