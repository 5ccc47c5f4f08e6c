// The real file dialogs (answered by a timer, as a user would type) and Qt's
// own texts in Russian.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>

#include "app/Dialogs.h"

namespace valdrin::app {
namespace {

// Types name into the next file dialog, picks the filter whose text starts
// with filterStart, and accepts.
void AnswerNextDialog(const QString &dir, const QString &name, const QString &filterStart)
{
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [=] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, *attempt);
            return;
        }
        dialog->setDirectory(dir);
        // Picked from the list with the keyboard, as a user does.
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count() && !types->currentText().startsWith(filterStart); ++i)
            QTest::keyClick(types, Qt::Key_Down);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog *>(dialog)->accept(); // as the Save or Open button does
    };
    QTimer::singleShot(0, *attempt);
}

TEST(FileDialogs, ANameTypedWithoutExtensionTakesTheChosenFilters)
{
    QTemporaryDir dir;
    TDialogs dialogs;
    const QString ini = QStringLiteral("INI|*.ini|Все файлы|*.*");

    AnswerNextDialog(dir.path(), QStringLiteral("stations"), QStringLiteral("INI"));
    EXPECT_EQ(dialogs.SaveFileName(nullptr, ini), dir.filePath(QStringLiteral("stations.ini")));
    AnswerNextDialog(dir.path(), QStringLiteral("map"), QStringLiteral("PNG"));
    EXPECT_EQ(dialogs.SaveFileName(nullptr, QStringLiteral("PNG|*.png|Все файлы|*.*")),
        dir.filePath(QStringLiteral("map.png")));
    AnswerNextDialog(dir.path(), QStringLiteral("run.v2"), QStringLiteral("*.dat"));
    EXPECT_EQ(dialogs.SaveFileName(nullptr, QStringLiteral("*.dat|*.dat|Все файлы|*.*")),
        dir.filePath(QStringLiteral("run.v2"))); // has one already
    AnswerNextDialog(dir.path(), QStringLiteral("stations"), QStringLiteral("Все файлы"));
    EXPECT_EQ(dialogs.SaveFileName(nullptr, ini), dir.filePath(QStringLiteral("stations")));

    // Opening finds the file by the name without its extension.
    QFile file(dir.filePath(QStringLiteral("stations.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    AnswerNextDialog(dir.path(), QStringLiteral("stations"), QStringLiteral("INI"));
    EXPECT_EQ(dialogs.OpenFileName(nullptr, ini), dir.filePath(QStringLiteral("stations.ini")));

    EXPECT_EQ(WithFilterExtension(QStringLiteral("/a.b/c"), QStringLiteral("*.dat (*.dat)")),
        QStringLiteral("/a.b/c.dat"));
    EXPECT_EQ(WithFilterExtension(QString(), QStringLiteral("INI (*.ini)")), QString());
}

TEST(FileDialogs, TheTypedSaveTellsTheFilterAndTheQuestionItsButton)
{
    QTemporaryDir dir;
    TDialogs dialogs;
    const QString grids = QStringLiteral("Точки|*.xyz|Сетка ESRI ASCII|*.asc|Все файлы|*.*");
    AnswerNextDialog(dir.path(), QStringLiteral("r"), QStringLiteral("Сетка"));
    const TSaveTarget esri = dialogs.SaveFileTyped(nullptr, grids);
    EXPECT_EQ(esri.Path, dir.filePath(QStringLiteral("r.asc")));
    EXPECT_EQ(esri.Filter, 1);
    AnswerNextDialog(dir.path(), QStringLiteral("r.xyz"), QStringLiteral("Все"));
    EXPECT_EQ(dialogs.SaveFileTyped(nullptr, grids).Filter, 2);

    // The buttons in the order given, "Отмена" and Escape last.
    const auto press = [](const QString &text) {
        QTimer::singleShot(0, [text] {
            for (QAbstractButton *b :
                QApplication::activeModalWidget()->findChildren<QAbstractButton *>())
                if (b->text() == text)
                    b->click();
        });
    };
    const QStringList choices { QStringLiteral("Заменить"), QStringLiteral("Добавить в конец") };
    press(QStringLiteral("Добавить в конец"));
    EXPECT_EQ(dialogs.Choose(nullptr, QStringLiteral("?"), choices), 1);
    press(QStringLiteral("Отмена"));
    EXPECT_EQ(dialogs.Choose(nullptr, QStringLiteral("?"), choices), -1);
    QTimer::singleShot(
        0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_EQ(dialogs.Choose(nullptr, QStringLiteral("?"), choices), -1);
}

TEST(QtRussian, QtsOwnButtonsAndDialogsSpeakRussian)
{
    const auto russian = LoadQtRussian();
    ASSERT_TRUE(russian) << "Qt's translations (qt6-translations-l10n) are not installed";
    QApplication::installTranslator(russian.get());
    const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    const QString look = QCoreApplication::translate("QFileDialog", "Look in:");
    QApplication::removeTranslator(russian.get());
    EXPECT_EQ(cancel, QStringLiteral("Отмена"));
    EXPECT_NE(look, QStringLiteral("Look in:"));
}

} // namespace
} // namespace valdrin::app
