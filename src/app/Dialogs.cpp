#include "app/Dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTranslator>

#include "map/qt/MapRender.h"

namespace valdrin::app {

namespace {

TSaveTarget RunFileDialog(QWidget *parent, const QString &pipeFilter, QFileDialog::AcceptMode mode)
{
    const QString filters = QtFileFilter(pipeFilter);
    QFileDialog dialog(parent, QString(), QString(), filters);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen)
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // The dialog adds the suffix before it checks the name, so a typed
    // "stations" opens "stations.ini".
    auto follow
        = [&dialog](const QString &filter) { dialog.setDefaultSuffix(FilterExtension(filter)); };
    follow(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString name = dialog.selectedFiles().constFirst();
    const QString filter = dialog.selectedNameFilter();
    const auto index = filters.split(QStringLiteral(";;")).indexOf(filter);
    // A native dialog may ignore the default suffix.
    return { mode == QFileDialog::AcceptSave ? WithFilterExtension(name, filter) : name,
        static_cast<int>(index) };
}

} // namespace

QString QtFileFilter(const QString &pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "*.*" means every file; on this platform it would hide names
        // without an extension.
        if (masks == QStringLiteral("*.*"))
            masks = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(parts[i], masks);
    }
    return filters.join(QStringLiteral(";;"));
}

QString FilterExtension(const QString &qtFilter)
{
    QString masks = qtFilter;
    if (const qsizetype open = masks.lastIndexOf(QLatin1Char('(')); open >= 0) {
        masks = masks.mid(open + 1);
        if (masks.endsWith(QLatin1Char(')')))
            masks.chop(1);
    }
    const QString first = masks.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')))
        return {};
    return ext;
}

QString WithFilterExtension(const QString &name, const QString &qtFilter)
{
    const QString ext = FilterExtension(qtFilter);
    if (name.isEmpty() || ext.isEmpty() || QFileInfo(name).fileName().contains(QLatin1Char('.')))
        return name;
    return name + QLatin1Char('.') + ext;
}

std::unique_ptr<QTranslator> LoadQtRussian()
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(
            QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}

QString WindowTitle()
{
    return QStringLiteral("Расчет регистрационных возможностей сети");
}

void TDialogs::ShowMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, WindowTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool TDialogs::Ask(QWidget *parent, const QString &question)
{
    QMessageBox box(
        QMessageBox::Question, WindowTitle(), question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString TDialogs::OpenFileName(QWidget *parent, const QString &pipeFilter)
{
    return RunFileDialog(parent, pipeFilter, QFileDialog::AcceptOpen).Path;
}

QString TDialogs::SaveFileName(QWidget *parent, const QString &pipeFilter)
{
    return RunFileDialog(parent, pipeFilter, QFileDialog::AcceptSave).Path;
}

TSaveTarget TDialogs::SaveFileTyped(QWidget *parent, const QString &pipeFilter)
{
    return RunFileDialog(parent, pipeFilter, QFileDialog::AcceptSave);
}

int TDialogs::Choose(QWidget *parent, const QString &question, const QStringList &choices)
{
    QMessageBox box(QMessageBox::Question, WindowTitle(), question, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> buttons;
    for (const QString &choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    box.setEscapeButton(box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole));
    if (!buttons.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.constFirst()));
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

bool TDialogs::AskMapSize(QWidget *parent, TMapSize &size)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Размер карты"));
    auto *form = new QFormLayout(&dialog);
    const auto side = [&dialog](int value) {
        auto *e = new QSpinBox(&dialog);
        e->setRange(map::kMinPageSide, map::kMaxPageSide);
        e->setSuffix(QStringLiteral(" пикс."));
        e->setValue(value);
        return e;
    };
    QSpinBox *width = side(size.Width);
    QSpinBox *height = side(size.Height);
    auto *dpi = new QDoubleSpinBox(&dialog);
    dpi->setRange(map::kMinDpi, map::kMaxDpi);
    dpi->setDecimals(0);
    dpi->setValue(size.Dpi);
    form->addRow(QStringLiteral("Ширина:"), width);
    form->addRow(QStringLiteral("Высота:"), height);
    form->addRow(QStringLiteral("Разрешение, точек на дюйм:"), dpi);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    size = { width->value(), height->value(), dpi->value() };
    return true;
}

} // namespace valdrin::app
