#include "app/Dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace valdrin::app {

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

void TDialogs::ShowMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(
        QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString TDialogs::OpenFileName(QWidget *parent, const QString &pipeFilter)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), QtFileFilter(pipeFilter));
}

QString TDialogs::SaveFileName(QWidget *parent, const QString &pipeFilter)
{
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QtFileFilter(pipeFilter),
        nullptr, QFileDialog::DontConfirmOverwrite);
}

} // namespace valdrin::app
