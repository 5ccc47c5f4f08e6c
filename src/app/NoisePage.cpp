#include "app/NoisePage.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPen>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "app/BackgroundRun.h"
#include "app/PageWidgets.h"
#include "common/Error.h"
#include "controls/SpinExt.h"
#include "formats/NoiseDb.h"
#include "formats/Stations.h"
#include "noise/NoiseLevel.h"
#include "params/Cp1251.h"

namespace valdrin::app {

using namespace valdrin::params;

namespace {

using controls::TFloatFormat;
using controls::TFloatSpinEdit;

constexpr int kLogMinorTicks = 8; // 2..9 within a decade
constexpr int kLinearMinorTicks = 9; // tenths of a major step

QString NameText(const std::string &name)
{
    return QString::fromStdString(IsValidUtf8(name) ? name : Cp1251ToUtf8(name));
}

QList<QPointF> ToQt(const noise::TChartPoints &points)
{
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const auto &p : points)
        list.append(QPointF(p.X, p.Y));
    return list;
}

struct TRange {
    double Lo = std::numeric_limits<double>::infinity();
    double Hi = -std::numeric_limits<double>::infinity();
    bool Empty() const { return !(Lo <= Hi); }
    void Add(double v)
    {
        Lo = std::min(Lo, v);
        Hi = std::max(Hi, v);
    }
};

// Whole decades around a positive range.
TRange DecadeRange(TRange r)
{
    r.Lo = std::pow(10.0, std::floor(std::log10(r.Lo)));
    r.Hi = std::pow(10.0, std::ceil(std::log10(r.Hi)));
    if (!(r.Hi > r.Lo))
        r.Hi = r.Lo * 10;
    return r;
}

// A spectrum in dB of acceleration, whole or not at all.
noise::TNoiseLoad LoadDbSpectrum(const std::string &path)
{
    noise::TNoiseLoad load;
    try {
        load.Spectrum = formats::ReadDbSpectrumFile(path);
    } catch (const common::TValdrinError &e) {
        load.Status = noise::TNoiseLoadStatus::BadData;
        load.Message = e.what();
    }
    return load;
}

} // namespace

TNoisePage::TNoisePage(QWidget *parent)
    : QWidget(parent)
    , m_run(new TBackgroundRun(this))
{
    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    root->addWidget(Splitter);

    auto *controlsPanel = new QWidget(Splitter);
    auto *left = new QVBoxLayout(controlsPanel);
    left->setContentsMargins(6, 6, 6, 6);
    left->setSpacing(6);

    NoiseLoadBitBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
        QStringLiteral("Открыть"), controlsPanel);
    NoiseLoadBitBtn->setObjectName(QStringLiteral("NoiseLoadBitBtn"));
    left->addWidget(NoiseLoadBitBtn);

    auto *unitLabel = new QLabel(QStringLiteral("Единицы спектра"), controlsPanel);
    UnitComBox = new controls::TComBox(controlsPanel);
    UnitComBox->setObjectName(QStringLiteral("UnitComBox"));
    UnitComBox->addItem(QStringLiteral("(м/с)²/Гц"));
    UnitComBox->addItem(QStringLiteral("дБ (м/с²)²/Гц"));
    UnitComBox->SetItemIndex(0);
    unitLabel->setBuddy(UnitComBox);
    left->addWidget(unitLabel);
    left->addWidget(UnitComBox);

    auto *columnLabel = new QLabel(QStringLiteral("Столбец"), controlsPanel);
    ColomnComBox = new controls::TComBox(controlsPanel);
    ColomnComBox->setObjectName(QStringLiteral("ColomnComBox"));
    columnLabel->setBuddy(ColomnComBox);
    left->addWidget(columnLabel);
    left->addWidget(ColomnComBox);

    auto *logRow = new QHBoxLayout;
    LogXCheckBox = new QCheckBox(QStringLiteral("LogX"), controlsPanel);
    LogXCheckBox->setObjectName(QStringLiteral("LogXCheckBox"));
    LogXCheckBox->setChecked(true);
    LogYCheckBox = new QCheckBox(QStringLiteral("LogY"), controlsPanel);
    LogYCheckBox->setObjectName(QStringLiteral("LogYCheckBox"));
    LogYCheckBox->setChecked(true);
    logRow->addWidget(LogXCheckBox);
    logRow->addWidget(LogYCheckBox);
    logRow->addStretch();
    left->addLayout(logRow);

    auto *band = new QGridLayout;
    auto makeFreqEdit = [&](const char *name, const QString &caption, double value, int row) {
        auto *label = new QLabel(caption, controlsPanel);
        auto *edit = new TFloatSpinEdit(controlsPanel);
        edit->setObjectName(QString::fromLatin1(name));
        edit->SetMinValue(0);
        edit->SetMaxValue(100000);
        edit->SetIncrement(0.1);
        edit->SetDigits(15);
        edit->SetFormat(TFloatFormat::General);
        edit->SetValue(value);
        label->setBuddy(edit);
        band->addWidget(label, row, 0);
        band->addWidget(edit, row, 1);
        return edit;
    };
    NoiseF1SpinEdit = makeFreqEdit("NoiseF1SpinEdit", QStringLiteral("Fmin, Гц"), 1, 0);
    NoiseF2SpinEdit = makeFreqEdit("NoiseF2SpinEdit", QStringLiteral("Fmax, Гц"), 10, 1);
    left->addLayout(band);

    NoiseCalcButton
        = new QPushButton(QStringLiteral("Рассчитать ср. уровень шумов"), controlsPanel);
    NoiseCalcButton->setObjectName(QStringLiteral("NoiseCalcButton"));
    left->addWidget(NoiseCalcButton);

    NoiseLabel = new QLabel(QString::fromUtf8(noise::kNoiseLevelCaption), controlsPanel);
    NoiseLabel->setObjectName(QStringLiteral("NoiseLabel"));
    NoiseLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    left->addWidget(NoiseLabel);

    auto *anRow = new QHBoxLayout;
    AnStationComBox = new controls::TComBox(controlsPanel);
    AnStationComBox->setObjectName(QStringLiteral("AnStationComBox"));
    AnStationComBox->setToolTip(QStringLiteral("Станция, в строку затухания которой пишется An"));
    AnButton = new QPushButton(QStringLiteral("→ An"), controlsPanel);
    AnButton->setObjectName(QStringLiteral("AnButton"));
    AnButton->setToolTip(QStringLiteral("Записать смещение WA в ячейку An выбранной станции"));
    AnButton->setEnabled(false);
    anRow->addWidget(AnStationComBox, 1);
    anRow->addWidget(AnButton);
    left->addLayout(anRow);
    left->addStretch();

    auto *chartPanel = new QFrame(Splitter);
    chartPanel->setObjectName(QStringLiteral("ChartPanel"));
    chartPanel->setFrameShape(QFrame::StyledPanel);
    auto *right = new QVBoxLayout(chartPanel);
    right->setContentsMargins(0, 0, 0, 0);
    buildChart();
    ChartView = new QChartView(Chart, chartPanel);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    right->addWidget(ChartView);

    Splitter->addWidget(controlsPanel);
    Splitter->addWidget(chartPanel);
    Splitter->setCollapsible(0, false);
    Splitter->setCollapsible(1, false);
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);

    connect(NoiseLoadBitBtn, &QPushButton::clicked, this, &TNoisePage::NoiseLoadBitBtnClick);
    connect(ColomnComBox, &QComboBox::activated, this, &TNoisePage::ColomnComBoxChange);
    connect(LogXCheckBox, &QCheckBox::clicked, this, &TNoisePage::LogXCheckBoxClick);
    connect(LogYCheckBox, &QCheckBox::clicked, this, &TNoisePage::LogYCheckBoxClick);
    connect(NoiseCalcButton, &QPushButton::clicked, this, &TNoisePage::NoiseCalcButtonClick);
    connect(UnitComBox, &QComboBox::activated, this, &TNoisePage::UnitComBoxChange);
    connect(AnButton, &QPushButton::clicked, this, &TNoisePage::AnButtonClick);
}

TNoisePage::~TNoisePage()
{
    stopWorker();
    // The axes that are not on the chart belong to the page (see switchAxis).
}

void TNoisePage::buildChart()
{
    Chart = new QChart;
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->setTitle(QString());
    Chart->legend()->setAlignment(Qt::AlignTop);
    Chart->setLocalizeNumbers(true);

    auto makeSeries = [this](const char *name, const QString &title, const QPen &pen) {
        auto *s = new QLineSeries(Chart);
        s->setObjectName(QString::fromLatin1(name));
        s->setName(title);
        s->setPen(pen);
        s->setPointsVisible(false);
        Chart->addSeries(s);
        return s;
    };
    SeriesNHNM = makeSeries("SeriesNHNM", QStringLiteral("NHNM"), QPen(Qt::gray, 2));
    SeriesNLNM = makeSeries("SeriesNLNM", QStringLiteral("NLNM"), QPen(Qt::gray, 2));
    SeriesSpc = makeSeries("SeriesSpc", QStringLiteral("Spectrum"), QPen(Qt::red, 1));

    const QString freqTitle = QStringLiteral("Частота, Гц");
    const QString powerTitle = QStringLiteral("Мощность, м^2/Гц");
    // Qt's printf-like label formats, localized (which needs an explicit
    // precision): "%.6g" stands for "#,##0.#####" and "%.2g" for "0.#e+00"
    // on the small powers drawn.
    const QString freqFormat = QStringLiteral("%.6g");
    const QString powerFormat = QStringLiteral("%.2g");

    m_logX = new QLogValueAxis(this);
    m_logX->setObjectName(QStringLiteral("LogXAxis"));
    m_logX->setBase(10);
    m_logX->setTitleText(freqTitle);
    m_logX->setLabelFormat(freqFormat);
    m_linX = new QValueAxis(this);
    m_linX->setObjectName(QStringLiteral("LinearXAxis"));
    m_linX->setTitleText(freqTitle);
    m_linX->setLabelFormat(freqFormat);
    m_logY = new QLogValueAxis(this);
    m_logY->setObjectName(QStringLiteral("LogYAxis"));
    m_logY->setBase(10);
    m_logY->setTitleText(powerTitle);
    m_logY->setLabelFormat(powerFormat);
    m_linY = new QValueAxis(this);
    m_linY->setObjectName(QStringLiteral("LinearYAxis"));
    m_linY->setTitleText(powerTitle);
    m_linY->setLabelFormat(powerFormat);

    switchAxis(Qt::Horizontal, true);
    switchAxis(Qt::Vertical, true);
}

void TNoisePage::switchAxis(Qt::Orientation orientation, bool logarithmic)
{
    const bool horizontal = orientation == Qt::Horizontal;
    QAbstractAxis *want = horizontal
        ? (logarithmic ? static_cast<QAbstractAxis *>(m_logX) : m_linX)
        : (logarithmic ? static_cast<QAbstractAxis *>(m_logY) : m_linY);
    const auto attached = Chart->axes(orientation);
    QAbstractAxis *have = attached.isEmpty() ? nullptr : attached.first();
    if (have != want) {
        if (have) {
            Chart->removeAxis(have); // detaches it from the series; the chart lets it go
            have->setParent(this);
        }
        Chart->addAxis(want, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
        for (QLineSeries *s : { SeriesNHNM, SeriesNLNM, SeriesSpc })
            s->attachAxis(want);
    }
    if (logarithmic)
        static_cast<QLogValueAxis *>(want)->setMinorTickCount(kLogMinorTicks);
    else
        static_cast<QValueAxis *>(want)->setMinorTickCount(kLinearMinorTicks);
    fitAxes();
}

// The frequency axis spans the spectrum (the models when there is none);
// the power axis whatever of the three curves lies over that span.
void TNoisePage::fitAxes()
{
    const auto xAxes = Chart->axes(Qt::Horizontal);
    const auto yAxes = Chart->axes(Qt::Vertical);
    if (xAxes.isEmpty() || yAxes.isEmpty())
        return;
    const bool logX = xAxes.first() == m_logX;
    const bool logY = yAxes.first() == m_logY;
    auto usable = [](double v, bool log) { return std::isfinite(v) && (!log || v > 0); };

    TRange x;
    for (const QPointF &p : SeriesSpc->points())
        if (usable(p.x(), logX) && usable(p.y(), logY))
            x.Add(p.x());
    if (x.Empty())
        for (QLineSeries *s : { SeriesNHNM, SeriesNLNM })
            for (const QPointF &p : s->points())
                if (usable(p.x(), logX))
                    x.Add(p.x());
    if (x.Empty())
        x = logX ? TRange { 0.01, 100 } : TRange { 0, 100 };
    if (!(x.Hi > x.Lo)) {
        x.Lo = logX ? x.Lo / 10 : x.Lo - 1;
        x.Hi = logX ? x.Hi * 10 : x.Hi + 1;
    }

    TRange y;
    for (QLineSeries *s : { SeriesNHNM, SeriesNLNM, SeriesSpc })
        for (const QPointF &p : s->points())
            if (p.x() >= x.Lo && p.x() <= x.Hi && usable(p.y(), logY))
                y.Add(p.y());
    if (y.Empty())
        y = logY ? TRange { 1e-20, 1e-8 } : TRange { 0, 1 };
    if (logY) {
        y = DecadeRange(y);
    } else if (!(y.Hi > y.Lo)) {
        const double pad = y.Lo == 0 ? 1 : std::fabs(y.Lo) / 2;
        y.Lo -= pad;
        y.Hi += pad;
    }

    if (logX)
        m_logX->setRange(x.Lo, x.Hi);
    else
        m_linX->setRange(x.Lo, x.Hi);
    if (logY) {
        m_logY->setRange(y.Lo, y.Hi);
    } else {
        m_linY->setRange(y.Lo, y.Hi);
        m_linY->applyNiceNumbers();
    }
}

void TNoisePage::NoiseLoadBitBtnClick()
{
    if (m_loading)
        return;
    QString fileName;
    if (ChooseFileName)
        fileName = ChooseFileName();
    else
        fileName = QFileDialog::getOpenFileName(
            this, QString(), QString(), QString::fromUtf8(kNoiseFileQtFilter));
    if (!fileName.isEmpty())
        OpenNoiseFile(fileName);
}

void TNoisePage::OpenNoiseFile(const QString &FileName)
{
    const bool db = formats::DetectSpectrumFileUnit(FileName.toStdString())
        == formats::TSpectrumUnit::AccelerationDb;
    UnitComBox->SetItemIndex(db ? 1 : 0);
    startLoad(FileName);
}

// The user's unit applies to the file open now: it is read again.
void TNoisePage::UnitComBoxChange()
{
    if (!m_fileName.isEmpty())
        startLoad(m_fileName);
}

void TNoisePage::startLoad(const QString &FileName)
{
    m_fileName = FileName;
    const bool db = UnitComBox->ItemIndex() == 1;
    stopWorker(); // a load still running is given up for this one
    ColomnComBox->SetItemIndex(-1);
    NoiseLoadBitBtn->setToolTip(FileName);
    setLoading(true);
    const std::string path = FileName.toStdString();
    auto load = std::make_shared<noise::TNoiseLoad>();
    m_run->Start(
        [path, load, db](const common::TRunControl &control) {
            *load = db ? LoadDbSpectrum(path) : noise::LoadNoiseFile(path, control);
        },
        {},
        [this, path, load](const std::exception_ptr &error) {
            if (error) {
                std::string what;
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception &e) {
                    what = std::string(": ") + e.what();
                } catch (...) {
                }
                load->Spectrum = {};
                load->Status = noise::TNoiseLoadStatus::ReadError;
                load->Message = "Ошибка чтения файла " + path + what;
            }
            finishLoad(load);
        });
}

void TNoisePage::finishLoad(const std::shared_ptr<noise::TNoiseLoad> &load)
{
    setLoading(false);
    if (load->Status == noise::TNoiseLoadStatus::OutOfMemory) {
        // The previous spectrum stays, as the chart shows it.
        message(QString::fromStdString(load->Message));
        setColumnItems();
        emit loadFinished();
        return;
    }
    m_spectrum = std::move(load->Spectrum);
    switch (load->Status) {
    case noise::TNoiseLoadStatus::Complete:
    case noise::TNoiseLoadStatus::NotFound:
        if (!load->Found())
            message(QString::fromStdString(load->Message));
        setColumnItems();
        ShowNoiseModels();
        ColomnComBox->SetItemIndex(0);
        ColomnComBoxChange();
        break;
    default:
        // The rows read so far stay; the list names them, with nothing
        // chosen, and the chart keeps what it showed.
        message(QString::fromStdString(load->Message));
        setColumnItems();
        break;
    }
    emit loadFinished();
}

void TNoisePage::stopWorker()
{
    if (!m_run->IsRunning())
        return;
    m_run->Stop();
    setLoading(false);
}

void TNoisePage::setLoading(bool loading)
{
    m_loading = loading;
    NoiseLoadBitBtn->setEnabled(!loading);
    ColomnComBox->setEnabled(!loading);
    if (loading)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void TNoisePage::setColumnItems()
{
    ColomnComBox->clear();
    for (const std::string &name : m_spectrum.Names)
        ColomnComBox->addItem(NameText(name));
    ColomnComBox->SetItemIndex(-1);
}

void TNoisePage::message(const QString &text)
{
    if (ShowMessage) {
        ShowMessage(text);
        return;
    }
    QMessageBox box(
        QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
    box.exec();
}

void TNoisePage::ShowNoiseModels()
{
    SeriesNHNM->replace(ToQt(noise::ModelPoints(noise::NhnmPoints)));
    SeriesNLNM->replace(ToQt(noise::ModelPoints(noise::NlnmPoints)));
    fitAxes();
}

void TNoisePage::ColomnComBoxChange()
{
    if (m_loading)
        return;
    const int index = ColomnComBox->ItemIndex();
    if (index >= 0)
        ShowSpectrumColumn(index);
}

void TNoisePage::ShowSpectrumColumn(int Column)
{
    if (Column < 0 || static_cast<std::size_t>(Column) >= m_spectrum.Names.size())
        return;
    SeriesSpc->setName(NameText(m_spectrum.Names[static_cast<std::size_t>(Column)]));
    SeriesSpc->replace(
        ToQt(noise::SpectrumColumnPoints(m_spectrum, Column, LogYCheckBox->isChecked())));
    fitAxes();
}

void TNoisePage::LogXCheckBoxClick()
{
    switchAxis(Qt::Horizontal, LogXCheckBox->isChecked());
}

void TNoisePage::LogYCheckBoxClick()
{
    switchAxis(Qt::Vertical, LogYCheckBox->isChecked());
}

void TNoisePage::NoiseCalcButtonClick()
{
    noise::TChartPoints points;
    const QList<QPointF> shown = SeriesSpc->points();
    points.reserve(static_cast<std::size_t>(shown.size()));
    for (const QPointF &p : shown)
        points.push_back({ p.x(), p.y() });
    const auto level
        = noise::NoiseBandLevel(points, NoiseF1SpinEdit->Value(), NoiseF2SpinEdit->Value());
    NoiseLabel->setText(QString::fromStdString(noise::NoiseLevelText(level, DecimalSep())));
    m_level = level;
    RefreshStationNames();
}

void TNoisePage::RefreshStationNames()
{
    if (StationNames) {
        const QStringList names = StationNames();
        const int keep = AnStationComBox->ItemIndex();
        AnStationComBox->clear();
        for (int i = 0; i < names.size(); ++i)
            AnStationComBox->addItem(
                names[i].trimmed().isEmpty() ? QStringLiteral("№ %1").arg(i) : names[i]);
        AnStationComBox->SetItemIndex(
            names.isEmpty() ? -1 : std::clamp(keep, 0, static_cast<int>(names.size()) - 1));
    }
    AnButton->setEnabled(m_level.has_value() && AnStationComBox->ItemIndex() >= 0);
}

void TNoisePage::AnButtonClick()
{
    const int index = AnStationComBox->ItemIndex();
    if (!m_level || index < 0)
        return;
    emit stationAnChosen(
        index + 1, QString::fromStdString(formats::AnCellText(m_level->WaMm, DecimalSep())));
}

void TNoisePage::showEvent(QShowEvent *event)
{
    RefreshStationNames(); // the table may have changed while another page was shown
    QWidget::showEvent(event);
}

} // namespace valdrin::app
