#include "ModalTestSupport.h"
#include "ui/TvFormControl.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <memory>

// Qt's own texts come from qt6-translations-l10n, a test dependency: without it the suite is
// skipped (CTest's skip code), not failed.
class QtTranslationTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { guard_.Verify(); }

    // Qt's own texts (context menus, message-box buttons) are Japanese whatever the locale says.
    void qtTextsInJapanese() {
        QVERIFY(tv::InstallQtTranslation(qApp));
        QLineEdit edit(QStringLiteral("12"));
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
        }
        QVERIFY2(texts.contains(QStringLiteral("コピー(&C)")), qPrintable(texts.join('|')));
        QVERIFY2(texts.contains(QStringLiteral("貼り付け(&P)")), qPrintable(texts.join('|')));
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("q"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }

private:
    tv::test::TModalGuard guard_;
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString file =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
    if (!QFileInfo::exists(file)) {
        std::printf("QtTranslationTest skipped: qt6-translations-l10n is missing (no %s)\n",
                    qPrintable(file));
        return tv::test::kSkipped;
    }
    QtTranslationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "QtTranslationTest.moc"
