// Shows the table and the numeric edits as the window uses them.
#include "controls/GridExt.h"
#include "controls/SpinExt.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

using namespace valdrin::controls;

namespace {

TFloatSpinEdit *RealEdit(double min, double max, double step, int digits, double value)
{
    auto *edit = new TFloatSpinEdit;
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetIncrement(step);
    edit->SetDigits(digits);
    if (digits == 15)
        edit->SetFormat(TFloatFormat::General);
    edit->SetValue(value);
    return edit;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Элементы ввода"));
    auto *row = new QHBoxLayout(&window);

    auto *grid = new TStrGrid;
    grid->SetColCount(5);
    grid->SetRowCount(26);
    grid->SetDefaultRowHeight(15);
    grid->SetColWidths({ 30, 43, 43, 44, 46 });
    const QStringList header { QStringLiteral("№"), QStringLiteral("X"), QStringLiteral("Y"),
        QStringLiteral("Z"), QStringLiteral("Код") };
    for (int c = 0; c < header.size(); ++c)
        grid->SetCells(c, 0, header[c]);
    for (int r = 1; r < grid->RowCount(); ++r) {
        grid->SetCells(0, r, QString::number(r));
        grid->SetCells(1, r, QString::number(-2000 + 160 * r));
        grid->SetCells(2, r, QString::number(1500 - 97 * r));
        grid->SetCells(3, r, QStringLiteral("200"));
        grid->SetCells(4, r, QStringLiteral("S%1").arg(r, 2, 10, QLatin1Char('0')));
    }
    grid->setMinimumSize(260, 300);
    row->addWidget(grid, 1);

    auto *form = new QFormLayout;
    auto *sensors = new TSpin10Edit;
    sensors->SetMinValue(1);
    sensors->SetMaxValue(100);
    sensors->SetValue(25);
    form->addRow(QStringLiteral("Станции:"), sensors);
    auto *locError = new TSpinEdit;
    locError->SetMaxValue(50);
    locError->SetValue(5);
    form->addRow(QStringLiteral("Ошибка локации, %"), locError);
    form->addRow(QStringLiteral("B0"), RealEdit(0.1, 10, 0.01, 2, 1.5));
    form->addRow(QStringLiteral("Отметка поверхности, м"), RealEdit(-10000, 10000, 1, 2, 200));
    form->addRow(QStringLiteral("Диап. волн. числа ±"), RealEdit(0.001, 10, 0.001, 4, 0.005));
    form->addRow(QStringLiteral("Шаг волн. числа"), RealEdit(0.0000001, 1, 0.00001, 5, 0.00002));
    form->addRow(QStringLiteral("Xmin"), RealEdit(0, 0, 1, 15, -2000));
    auto *column = new TComBox;
    column->addItems({ QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("P3") });
    column->SetItemIndex(0);
    form->addRow(QStringLiteral("Столбец"), column);
    auto *side = new QVBoxLayout;
    side->addLayout(form);
    side->addStretch();
    row->addLayout(side);

    window.resize(640, 420);
    window.show();
    // --edit opens a cell editor, to see how it fits the row.
    if (app.arguments().contains(QStringLiteral("--edit"))) {
        grid->setFocus();
        grid->setCurrentCell(2, 1);
        grid->edit(grid->currentIndex());
    }
    return app.exec();
}
