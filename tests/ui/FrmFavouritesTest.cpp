// The favourites' manager driven by its keys and buttons over a store in a temporary folder:
// rename with F2, move with Ctrl+Up and Ctrl+Down, delete with Delete; each change is in the
// store at once.

#include "ModalTestSupport.h"
#include "history/TvHistory.h"
#include "ui/Tv10FrmFavourites.h"
#include "ui/TvSound.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace tv;

namespace {

QStringList* g_sounds = nullptr;

class SoundRecorder : public ISoundPlayer {
public:
    void Exclamation() override { g_sounds->append(QStringLiteral("Exclamation")); }
    void Asterisk() override { g_sounds->append(QStringLiteral("Asterisk")); }
};

} // namespace

class FrmFavouritesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        g_sounds = &sounds_;
        SetSoundPlayer(std::make_unique<SoundRecorder>());
    }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        sounds_.clear();
        store_ =
            std::make_unique<THistory>(dir_->filePath(QStringLiteral("h.sqlite")).toStdString());
        for (const char* name : {"a", "b", "c"}) {
            store_->AddFavourite({0, name, THistoryPage::Unit, "長さ", name, "m"});
        }
    }

    void cleanup() { guard_.Verify(); }

    void keysChangeTheStoreAtOnce() {
        TTvFrmFavourites dialog;
        tv::test::RunModal(
            dialog,
            [&] {
                dialog.ShowModal(*store_);
                return 0;
            },
            [&] {
                QListWidget* list = dialog.lstFavourites();
                QCOMPARE(dialog.windowTitle(), QStringLiteral("お気に入りの整理"));
                QCOMPARE(list->accessibleName(), QStringLiteral("お気に入り"));
                QCOMPARE(list->count(), 3);
                QCOMPARE(list->currentRow(), 0);
                QVERIFY(!dialog.btnUp()->isEnabled());

                QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
                QCOMPARE(Names(), QStringList({"b", "a", "c"}));
                QCOMPARE(list->currentRow(), 1);
                QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
                QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
                QCOMPARE(Names(), QStringList({"b", "c", "a"}));
                QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});

                QTest::keyClick(list, Qt::Key_F2);
                auto* editor = list->findChild<QLineEdit*>();
                QVERIFY(editor);
                editor->selectAll();
                QInputMethodEvent commit;
                commit.setCommitString(QStringLiteral("マイル & m"));
                QApplication::sendEvent(editor, &commit);
                QTest::keyClick(editor, Qt::Key_Return);
                QTRY_COMPARE(Names(), QStringList({"b", "c", "マイル & m"}));

                QTest::keyClick(list, Qt::Key_F2);
                editor = list->findChild<QLineEdit*>();
                QVERIFY(editor);
                editor->selectAll();
                QTest::keyClick(editor, Qt::Key_Delete);
                QTest::keyClick(editor, Qt::Key_Return);
                QTRY_COMPARE(list->item(2)->text(), QStringLiteral("マイル & m"));
                QCOMPARE(Names(), QStringList({"b", "c", "マイル & m"}));

                QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
                QTest::mouseClick(dialog.btnDelete(), Qt::LeftButton);
                QCOMPARE(Names(), QStringList({"b", "c"}));
                QTest::keyClick(list, Qt::Key_Delete);
                QTest::keyClick(list, Qt::Key_Delete);
                QCOMPARE(Names(), QStringList());
                QVERIFY(!dialog.btnDelete()->isEnabled());
                QTest::keyClick(list, Qt::Key_Escape);
            });
        QVERIFY(!dialog.isVisible());
    }

private:
    QStringList Names() const {
        QStringList names;
        for (const TFavourite& f : store_->Favourites())
            names << QString::fromStdString(f.Name);
        return names;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<THistory> store_;
    QStringList sounds_;
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(FrmFavouritesTest)
#include "FrmFavouritesTest.moc"
