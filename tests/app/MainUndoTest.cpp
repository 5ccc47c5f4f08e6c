// The window's undo of the tables, its questions before it throws rows away,
// and the keys of its menus.
#include "MainTestFixture.h"

#include <QAction>
#include <QClipboard>
#include <QTemporaryDir>

#include "app/PaintBox.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"

namespace valdrin::app::test {
namespace {

class MainUndoTest : public MainFormTest {
protected:
    QAction *Action(const char *name) const
    {
        auto *a = form->findChild<QAction *>(QString::fromUtf8(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    void Undo() const
    {
        QCoreApplication::processEvents(); // edits are recorded once their batch is over
        Action("UndoAction")->trigger();
    }
    void Redo() const { Action("RedoAction")->trigger(); }
    common::TCellTable Coo() const { return form->CooGrid->ToTable(); }
};

TEST_F(MainUndoTest, TypingAndPastingUndoAndRedoAsOneStepEach)
{
    const common::TCellTable before = Coo();
    form->CooGrid->SetEditText(1, 1, QStringLiteral("1234"));
    const common::TCellTable typed = Coo();
    Undo();
    EXPECT_EQ(Coo(), before);
    Redo();
    EXPECT_EQ(Coo(), typed);

    // A block of four cells pasted is undone at once.
    QGuiApplication::clipboard()->setText(QStringLiteral("7\t8\n9\t10\n"));
    form->CooGrid->setCurrentCell(2, 1);
    form->CooGrid->PasteFromClipboard();
    EXPECT_EQ(form->CooGrid->Cells(2, 3), QStringLiteral("10"));
    Undo();
    EXPECT_EQ(Coo(), typed);
    Undo();
    EXPECT_EQ(Coo(), before);
    EXPECT_FALSE(Action("UndoAction")->isEnabled());
}

TEST_F(MainUndoTest, TheStationCountAsksBeforeItCutsRowsAndUndoes)
{
    const common::TCellTable before = Coo();
    const int count = form->SensorsSpinEdit->Value();
    ASSERT_FALSE(before.Cell(3, 1).empty());

    dialogs->Answers = { false };
    form->SensorsSpinEdit->SetValue(2);
    ASSERT_EQ(dialogs->Questions.size(), 1);
    EXPECT_EQ(form->SensorsSpinEdit->Value(), count);
    EXPECT_EQ(Coo(), before);
    EXPECT_FALSE(Action("UndoAction")->isEnabled());

    form->SensorsSpinEdit->SetValue(2);
    EXPECT_EQ(dialogs->Questions.size(), 2);
    EXPECT_EQ(form->CooGrid->RowCount(), 3);
    Undo();
    EXPECT_EQ(form->SensorsSpinEdit->Value(), count);
    EXPECT_EQ(Coo(), before);
    Redo();
    EXPECT_EQ(form->SensorsSpinEdit->Value(), 2);
    EXPECT_EQ(form->CooGrid->RowCount(), 3);

    // Rows without data go without a question.
    form->SensorsSpinEdit->SetValue(5);
    form->SensorsSpinEdit->SetValue(3);
    EXPECT_EQ(dialogs->Questions.size(), 2);
}

TEST_F(MainUndoTest, PlacementAsksBeforeItClearsAndEachStepUndoes)
{
    const common::TCellTable before = Coo();
    dialogs->Answers = { false };
    form->AddButton->click();
    ASSERT_EQ(dialogs->Questions.size(), 1);
    EXPECT_TRUE(form->AddButton->isEnabled());
    EXPECT_EQ(Coo(), before);

    form->AddButton->click();
    ASSERT_FALSE(form->AddButton->isEnabled());
    const common::TCellTable cleared = Coo();
    EXPECT_TRUE(cleared.Cell(1, 1).empty());
    SendMouse(form->PaintBox, QEvent::MouseButtonPress, form->MapCentre());
    EXPECT_FALSE(form->CooGrid->Cells(1, 1).isEmpty());
    Undo();
    EXPECT_EQ(Coo(), cleared);
    Undo();
    EXPECT_EQ(Coo(), before);

    // An empty table is cleared without a question.
    MakeForm();
    form->CooGrid->FromTable(cleared);
    form->AddButton->click();
    EXPECT_TRUE(dialogs->Questions.isEmpty());
    EXPECT_FALSE(form->AddButton->isEnabled());
}

TEST_F(MainUndoTest, LoadingAParameterFileUndoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("moved.ini"));
    const common::TCellTable before = Coo();
    const QString x = form->CooGrid->Cells(1, 1);
    form->CooGrid->SetCells(1, 1, QStringLiteral("1500"));
    form->SaveParamFile(path);
    form->CooGrid->SetCells(1, 1, x);

    form->LoadParamFile(path);
    EXPECT_EQ(form->CooGrid->Cells(1, 1), QStringLiteral("1500"));
    Undo();
    EXPECT_EQ(Coo(), before);
    Redo();
    EXPECT_EQ(form->CooGrid->Cells(1, 1), QStringLiteral("1500"));
}

TEST_F(MainUndoTest, MenuKeysRunTheHandlers)
{
    int runs = 0;
    form->SetEngine([&runs](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        ++runs;
        return calc::RunComputation(s, c);
    });
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->CooGrid->setFocus();

    QTest::keyClick(form.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(WaitForRun());
    QTest::keyClick(form.get(), Qt::Key_F9);
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(runs, 2);

    form->CooGrid->SetEditText(1, 1, QStringLiteral("1234"));
    QCoreApplication::processEvents();
    QTest::keyClick(form->CooGrid, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(form->CooGrid->Cells(1, 1), QStringLiteral("1234"));
    QTest::keyClick(form->CooGrid, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form->CooGrid->Cells(1, 1), QStringLiteral("1234"));

    QTest::keyClick(form->CooGrid, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs->OpenCalls, 1);
    EXPECT_EQ(Action("CancelAction")->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(Action("CancelAction")->isEnabled()); // Esc is the fields' own while idle
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Расчет регистрационных возможностей сети"));
}

} // namespace
} // namespace valdrin::app::test
