// The window's commands: the menus, each also a button or a key of a page
// and running the same handler, and the undo of the tables.
#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QUndoStack>

#include <functional>

#include "app/MediumPage.h"
#include "app/ParamsPage.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"

namespace valdrin::app {

using controls::TStrGrid;

namespace {

QAction *AddAction(
    QMenu *menu, const char *name, const QString &text, const QList<QKeySequence> &keys = {})
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QString::fromUtf8(name));
    a->setShortcuts(keys);
    return a;
}

} // namespace

// The table with the keyboard focus, or the table whose cell is edited.
TStrGrid *TMainForm::focusedGrid() const
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto *grid = qobject_cast<TStrGrid *>(w))
            return grid;
    return nullptr;
}

void TMainForm::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&Файл"));
    connect(AddAction(file, "OpenParamsAction", QStringLiteral("&Открыть параметры…"),
                { QKeySequence::Open }),
        &QAction::triggered, m_paramsPage, &TParamsPage::LoadParamButtonClick);
    connect(AddAction(file, "SaveParamsAction", QStringLiteral("&Сохранить параметры"),
                { QKeySequence::Save }),
        &QAction::triggered, m_paramsPage, &TParamsPage::SaveParamButtonClick);
    connect(AddAction(file, "SaveParamsAsAction", QStringLiteral("Сохранить параметры &как…"),
                { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) }),
        &QAction::triggered, m_paramsPage, &TParamsPage::SaveAsButtonClick);
    file->addSeparator();
    addStationCommands(file);
    file->addSeparator();
    QAction *saveResults = AddAction(file, "SaveResultsAction",
        QStringLiteral("Сохранить &результаты…"), { QKeySequence(Qt::CTRL | Qt::Key_E) });
    connect(saveResults, &QAction::triggered, this, &TMainForm::SaveButtonClick);
    connect(file, &QMenu::aboutToShow, saveResults,
        [this, saveResults] { saveResults->setEnabled(SaveButton->isEnabled()); });
    addSaveResultsAs(file, saveResults);
    connect(AddAction(file, "ExportMapAction", QStringLiteral("Экспорт &карты в PNG…")),
        &QAction::triggered, this, &TMainForm::SaveMapPng);
    connect(
        AddAction(file, "ExportMapPageAction", QStringLiteral("Экспорт карты (PNG, PDF, SVG)…")),
        &QAction::triggered, this, &TMainForm::ExportMap);
    file->addSeparator();
    connect(AddAction(file, "QuitAction", QStringLiteral("&Выход"),
                { QKeySequence(Qt::CTRL | Qt::Key_Q) }),
        &QAction::triggered, this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    QAction *undo = m_undo->createUndoAction(this, QStringLiteral("&Отменить"));
    undo->setObjectName(QStringLiteral("UndoAction"));
    undo->setShortcuts(QKeySequence::Undo);
    QAction *redo = m_undo->createRedoAction(this, QStringLiteral("&Повторить"));
    redo->setObjectName(QStringLiteral("RedoAction"));
    redo->setShortcuts(
        { QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) });
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    // The block commands of the table in focus; a text field in focus keeps
    // its own, as its keys do.
    struct TBlockCommand {
        const char *name;
        QString text;
        QKeySequence key;
        std::function<void(TStrGrid *)> grid;
        std::function<void(QLineEdit *)> line;
    };
    const TBlockCommand commands[] = {
        { "CutAction", QStringLiteral("Вы&резать"), QKeySequence::Cut,
            [](TStrGrid *g) {
                g->CopyToClipboard();
                g->ClearSelection();
            },
            [](QLineEdit *e) { e->cut(); } },
        { "CopyAction", QStringLiteral("&Копировать"), QKeySequence::Copy,
            [](TStrGrid *g) { g->CopyToClipboard(); }, [](QLineEdit *e) { e->copy(); } },
        { "PasteAction", QStringLiteral("Вст&авить"), QKeySequence::Paste,
            [](TStrGrid *g) { g->PasteFromClipboard(); }, [](QLineEdit *e) { e->paste(); } },
        { "ClearAction", QStringLiteral("&Удалить"), QKeySequence::Delete,
            [](TStrGrid *g) { g->ClearSelection(); }, [](QLineEdit *e) { e->del(); } },
    };
    for (const TBlockCommand &c : commands) {
        QAction *a = AddAction(edit, c.name, c.text, { c.key });
        // The keys stay with the table and the fields, which handle them.
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, [this, c] {
            if (TStrGrid *grid = focusedGrid())
                c.grid(grid);
            else if (auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
                c.line(line);
        });
    }

    QMenu *calc = menuBar()->addMenu(QStringLiteral("Р&асчет"));
    connect(AddAction(calc, "CalcAction", QStringLiteral("&Считать"),
                { QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F9) }),
        &QAction::triggered, this, &TMainForm::CalcButtonClick);
    m_cancelAction = AddAction(
        calc, "CancelAction", QStringLiteral("&Отмена"), { QKeySequence(Qt::Key_Escape) });
    m_cancelAction->setEnabled(false);
    connect(m_cancelAction, &QAction::triggered, this, &TMainForm::CancelCalc);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Справка"));
    connect(AddAction(help, "AboutAction", QStringLiteral("&О программе")), &QAction::triggered,
        m_paramsPage, &TParamsPage::AboutButtonClick);

    // Shortcuts work while the menus are closed too.
    for (QMenu *menu : { file, edit, calc, help })
        addActions(menu->actions());
}

// ---------------------------------------------------------------------------
// Undo of the tables

TTablesState TMainForm::tablesState() const
{
    return { CooGrid->ToTable(), StrGrid->ToTable(), ModelStrGrid->ToTable(),
        SensorsSpinEdit->Value(), LayerCountSpinEdit->Value(), m_mediumPage->Model(),
        m_outOfOperation };
}

void TMainForm::applyTablesState(const TTablesState &state)
{
    ++m_loading;
    m_mediumPage->SetLoading(true);
    SensorsSpinEdit->SetValue(state.Sensors);
    LayerCountSpinEdit->SetValue(state.Layers);
    CooGrid->FromTable(state.CooGrid);
    StrGrid->FromTable(state.StrGrid);
    ModelStrGrid->FromTable(state.ModelStrGrid);
    m_mediumPage->SetModel(state.Model);
    m_mediumPage->SetLoading(false);
    --m_loading;
    m_outOfOperation = state.OutOfOperation;
    showOperationChecks();
    m_tablesShot = state;
    queueStationsRedraw();
}

// One step for what changed since the last one; nothing when nothing did.
void TMainForm::recordTables(const QString &text)
{
    TTablesState now = tablesState();
    if (now == m_tablesShot)
        return;
    m_undo->push(new TStateCommand<TTablesState>(
        text, m_tablesShot, now, [this](const TTablesState &state) { applyTablesState(state); }));
    m_tablesShot = std::move(now);
}

// A paste edits many cells at once: they make one step.
void TMainForm::queueTablesRecord()
{
    if (m_tablesRecordQueued || m_loading > 0)
        return;
    m_tablesRecordQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_tablesRecordQueued = false;
            recordTables(QStringLiteral("Правка таблицы"));
        },
        Qt::QueuedConnection);
}

} // namespace valdrin::app
