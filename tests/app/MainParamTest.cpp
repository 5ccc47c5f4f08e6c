// The parameter-file buttons: save, save as, load, a file that does not
// exist, and the window placement kept in the file.
#include "MainTestFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

#include "app/RadioGroup.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapQt.h"

namespace valdrin::app::test {
namespace {

class MainParamTest : public MainFormLocaleTest {
protected:
    QString Text(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    QTemporaryDir dir;
};

TEST_P(MainParamTest, SavedFileLoadsBackThroughTheButtons)
{
    const QString path = dir.filePath(QStringLiteral("set.ini"));
    form->dXSpinEdit->SetValue(25.5);
    form->SensorsSpinEdit->SetValue(26);
    form->CooGrid->SetCells(1, 26, QStringLiteral("10"));
    form->CooGrid->SetCells(4, 26, QStringLiteral("NEW"));
    form->LayerCountSpinEdit->SetValue(2);
    form->setGeometry(120, 140, 900, 600);

    // No file yet: "Сохранить" asks for one, as "Сохранить как" does.
    dialogs->FileNames << path;
    form->SaveParamButton->click();
    EXPECT_EQ(dialogs->SaveCalls, 1);
    EXPECT_EQ(dialogs->Filters.last(), QStringLiteral("INI|*.ini|Все файлы|*.*"));
    EXPECT_EQ(form->IniLabel->text(), path);
    const QString text = Text(path);
    EXPECT_TRUE(text.contains(QStringLiteral("[Norbek\\Valdrin]")));
    EXPECT_TRUE(text.contains(QStringLiteral("Flags=0\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("ShowCmd=1\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("PixelsPerInch=%1\r\n").arg(form->logicalDpiY())));
    const QSize screen = form->screen()->size();
    EXPECT_TRUE(text.contains(QStringLiteral("NormPos(%1x%2)=120,140,1020,740\r\n")
                                  .arg(screen.width())
                                  .arg(screen.height())));
    EXPECT_TRUE(text.contains(QStringLiteral("dXSpinEdit_Value=25.5\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Sta26=25;10;;;NEW\r\n")));

    // Change things, then load: the file's working set comes back.
    form->dXSpinEdit->SetValue(50);
    form->SensorsSpinEdit->SetValue(3);
    form->LayerCountSpinEdit->SetValue(1);
    form->B0SpinEdit->SetValue(2); // stored after the 26: comes back
    form->setGeometry(10, 20, 800, 500);
    dialogs->FileNames << path;
    form->LoadParamButton->click();
    EXPECT_EQ(dialogs->OpenCalls, 1);
    EXPECT_DOUBLE_EQ(form->dXSpinEdit->Value(), 25.5);
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 26);
    ASSERT_EQ(form->CooGrid->RowCount(), 27);
    EXPECT_EQ(form->CooGrid->Cells(4, 26), QStringLiteral("NEW"));
    EXPECT_EQ(form->CooGrid->Cells(4, 1), QStringLiteral("ARA0"));
    EXPECT_EQ(form->StrGrid->Cells(2, 1), N("1.3"));
    EXPECT_EQ(form->ModelStrGrid->RowCount(), 3);
    EXPECT_EQ(form->LayerCountSpinEdit->Value(), 2);
    EXPECT_EQ(form->MediumModel().size(), 2u);
    EXPECT_DOUBLE_EQ(form->B0SpinEdit->Value(), 1.5);
    EXPECT_EQ(form->geometry(), QRect(120, 140, 900, 600));
    EXPECT_EQ(form->PlaneGrid().NU, 157); // the handlers ran on the loaded ranges
    EXPECT_TRUE(dialogs->Messages.isEmpty());

    // Now "Сохранить" writes to the shown file without asking.
    form->dXSpinEdit->SetValue(40);
    form->SaveParamButton->click();
    EXPECT_EQ(dialogs->SaveCalls, 1);
    EXPECT_TRUE(Text(path).contains(QStringLiteral("dXSpinEdit_Value=40\r\n")));
}

TEST_P(MainParamTest, AMissingFileKeepsTheValuesAndEmptiesTheRows)
{
    const QString path = dir.filePath(QStringLiteral("none.ini"));
    form->setWindowState(Qt::WindowMaximized);
    dialogs->FileNames << path;
    form->LoadParamButton->click();
    EXPECT_EQ(form->IniLabel->text(), path);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 25);
    EXPECT_DOUBLE_EQ(form->dXSpinEdit->Value(), 50);
    ASSERT_EQ(form->CooGrid->RowCount(), 26);
    EXPECT_EQ(form->CooGrid->Cells(0, 7), QStringLiteral("0"));
    EXPECT_TRUE(form->CooGrid->Cells(1, 7).isEmpty());
    EXPECT_EQ(form->StrGrid->Cells(0, 7), QStringLiteral("0"));
    EXPECT_EQ(form->ModelStrGrid->Cells(0, 1), QStringLiteral("0"));
    EXPECT_FALSE(form->isMaximized()); // a missing ShowCmd reads as normal

    // The emptied table refuses a run with its first row.
    Compute(3);
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_EQ(
        dialogs->Messages[0], QStringLiteral("Ошибка в параметрах станции №1 (столбец X: «»)"));
}

TEST_P(MainParamTest, ACancelledDialogTouchesNothing)
{
    form->LoadParamButton->click();
    form->SaveAsButton->click();
    EXPECT_TRUE(form->IniLabel->text().isEmpty());
    EXPECT_EQ(form->CooGrid->Cells(4, 1), QStringLiteral("ARA0"));
}

TEST_P(MainParamTest, AFileThatCannotBeWrittenIsReported)
{
    const QString path = dir.filePath(QStringLiteral("no/such/dir/set.ini"));
    dialogs->FileNames << path;
    form->SaveAsButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_EQ(dialogs->Messages[0], QStringLiteral("Unable to write to ") + path);
    EXPECT_EQ(form->IniLabel->text(), path);
}

TEST_P(MainParamTest, AFileWithOtherInputsLeavesNoResultAndShowsItsStations)
{
    Compute(3);
    ASSERT_TRUE(form->SaveButton->isEnabled());
    const QImage picture = form->MapBitmap;

    // The window's own inputs back from a file: the result stands.
    const QString same = dir.filePath(QStringLiteral("same.ini"));
    form->SaveParamFile(same);
    form->LoadParamFile(same);
    EXPECT_TRUE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->Result().ResultMode, calc::TShowMode::smMinMagnitude);
    EXPECT_EQ(form->MapBitmap, picture);

    // A file with one station elsewhere.
    const QString moved = dir.filePath(QStringLiteral("moved.ini"));
    const QString x = form->CooGrid->Cells(1, 1);
    form->CooGrid->SetCells(1, 1, QStringLiteral("1500"));
    form->SaveParamFile(moved);
    form->CooGrid->SetCells(1, 1, x);
    form->LoadParamFile(moved);
    EXPECT_TRUE(dialogs->Messages.isEmpty());
    EXPECT_FALSE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->Result().ResultMode, calc::TShowMode::smStations);
    ASSERT_GE(form->Stations().Count, 1);
    EXPECT_EQ(form->Stations().U[0], 1500);
    EXPECT_EQ(form->MapBitmap, StationsPage(*form, form->Stations(), form->PlaneGrid()));
}

TEST_P(MainParamTest, AFileThatCannotBeReadIsRefusedAndTheWindowStaysAsItWas)
{
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    QDir().mkdir(folder);
    form->SaveAsButton->click(); // cancelled: the label stays empty
    form->CooGrid->SetCells(4, 1, QStringLiteral("MINE"));
    form->setGeometry(110, 120, 800, 500);
    dialogs->FileNames << folder;
    form->LoadParamButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_EQ(dialogs->Messages[0],
        QStringLiteral("Не удалось прочитать файл %1: это папка").arg(folder));
    EXPECT_EQ(form->CooGrid->Cells(4, 1), QStringLiteral("MINE"));
    EXPECT_EQ(form->StrGrid->Cells(0, 1), QStringLiteral("ARA0"));
    EXPECT_EQ(form->geometry(), QRect(110, 120, 800, 500));
    EXPECT_TRUE(form->IniLabel->text().isEmpty());
}

TEST_P(MainParamTest, TheWholeWorkingSetComesBackAndUnsavableCharactersAreNamed)
{
    const QString path = dir.filePath(QStringLiteral("layered.ini"));
    form->MediumRadioGroup->SetItemIndex(1);
    form->SurfaceAltSpinEdit->SetValue(-150);
    form->KmaxSpinEdit->SetValue(0.02);
    form->C2SpinEdit->SetValue(5.25);
    form->CooGrid->SetCells(4, 3, QStringLiteral("Zürich-β"));
    dialogs->FileNames << path;
    form->SaveAsButton->click();
    ASSERT_EQ(dialogs->Messages.size(), 1);
    EXPECT_TRUE(dialogs->Messages[0].endsWith(
        QStringLiteral("таблица станций, строка 3, столбец Name («Zürich-β»)")))
        << dialogs->Messages[0].toStdString();

    form->MediumRadioGroup->SetItemIndex(0);
    form->SurfaceAltSpinEdit->SetValue(200);
    form->KmaxSpinEdit->SetValue(0.005);
    form->C2SpinEdit->SetValue(4.5);
    dialogs->FileNames << path;
    form->LoadParamButton->click();
    EXPECT_EQ(form->MediumRadioGroup->ItemIndex(), 1);
    EXPECT_TRUE(form->ModelStrGrid->isEnabled());
    EXPECT_DOUBLE_EQ(form->SurfaceAltSpinEdit->Value(), -150);
    EXPECT_DOUBLE_EQ(form->KmaxSpinEdit->Value(), 0.02);
    EXPECT_DOUBLE_EQ(form->C2SpinEdit->Value(), 5.25);
    EXPECT_EQ(form->CooGrid->Cells(4, 3), QStringLiteral("Z?rich-?"));
}

INSTANTIATE_TEST_SUITE_P(Separators, MainParamTest,
    ::testing::Values(QLocale::English, QLocale::Russian), SeparatorName);

} // namespace
} // namespace valdrin::app::test
