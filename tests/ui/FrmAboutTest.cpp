#include "AccessibilityTestSupport.h"
#include "ModalTestSupport.h"
#include "ui/Tv10FrmAbout.h"
#include "ui/TvFormControl.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <algorithm>

using tv::TTvFrmAbout;
using tv::test::RunModal;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kPurple(128, 0, 128);

QColor TextColour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

} // namespace

class FrmAboutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The program's own font, so that the layout check measures the texts a user sees.
        QApplication::setFont(tv::ProgramFont());
        tv::InstallProgramStyle();
    }

    void init() {
        opened_.clear();
        openerResult_ = true;
        tv::SetUrlOpener([this](const QUrl& url) {
            opened_ << url.toString();
            return openerResult_;
        });
        tv::TopMostMode = false;
        dialog_.reset(new TTvFrmAbout);
    }

    void cleanup() {
        dialog_.reset();
        tv::SetUrlOpener({});
        guard_.Verify();
    }

    void showsNameVersionIconAndLinks() {
        QPixmap icon(32, 32);
        icon.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(icon));
        TTvFrmAbout& d = *dialog_;
        Show([&] {
            QCOMPARE(d.windowTitle(), QStringLiteral("バージョン情報"));
            const QString name = d.findChild<QLabel*>("lblSoftName")->text();
            QVERIFY2(QRegularExpression(
                         QStringLiteral(R"(^Tenvari v\d+\.\d+\.\d+ \(\d{4}/\d\d/\d\d\)$)"))
                         .match(name)
                         .hasMatch(),
                     qPrintable(name));
            // The notice gives the year and the licence (GPL-3.0-or-later).
            const QString notice = d.findChild<QLabel*>("lblCopyRight")->text();
            QVERIFY2(notice.contains(QStringLiteral("2026")) &&
                         notice.contains(QStringLiteral("GPLv3+")),
                     qPrintable(notice));
            QCOMPARE(d.Image1()->pixmap().toImage().pixelColor(16, 16), QColor(Qt::red));
            QCOMPARE(d.lblMailTo()->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(TextColour(d.lblMailTo()), kBlue);
            QCOMPARE(TextColour(d.lblURL()), kBlue);
            QCOMPARE(d.lblMailTo()->font().pixelSize(), 13);
            d.accept();
        });
        QApplication::setWindowIcon(QIcon());
    }

    // The client area is 302 x 118 unless a font too wide for it (a fallback font without the
    // program's glyphs, a scaled one) widens it: every text is shown whole, whatever the font.
    void textsFitTheDialog_data() {
        QTest::addColumn<int>("letterSpacing");
        QTest::newRow("the program's font") << 100;
        QTest::newRow("a font too wide for 302 pixels") << 170;
    }

    void textsFitTheDialog() {
        QFETCH(int, letterSpacing);
        const QFont programFont = QApplication::font();
        QFont font = programFont;
        font.setLetterSpacing(QFont::PercentageSpacing, letterSpacing);
        QApplication::setFont(font);
        const TTvFrmAbout d;
        QApplication::setFont(programFont);

        int textRight = 0;
        for (const QLabel* label : d.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                continue;
            }
            const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
            QVERIFY2(label->width() >= textWidth, qPrintable(label->objectName()));
            textRight = std::max(textRight, label->x() + label->width());
        }
        QCOMPARE(d.height(), 118);
        QCOMPARE(d.width(), std::max(302, textRight + 9));
        if (letterSpacing > 100) {
            QVERIFY2(d.width() > 302, "the wide font needs more than 302 pixels");
        }
        const QPushButton* ok = d.findChild<QPushButton*>("btnOK");
        QCOMPARE(ok->x() + ok->width() / 2, d.width() / 2 + 1);
        QCOMPARE(d.findChild<QFrame*>("bvlLine")->geometry().right(), d.width() - 10);
    }

    void hoverMarksTheLink() {
        TTvFrmAbout& d = *dialog_;
        Show([&] {
            for (QLabel* link : {d.lblMailTo(), d.lblURL()}) {
                QTest::mouseMove(link, link->rect().center());
                QTRY_COMPARE(TextColour(link), kPurple);
                QVERIFY(link->font().underline());
                QTest::mouseMove(&d, QPoint(4, 110));
                QTRY_COMPARE(TextColour(link), kBlue);
                QVERIFY(!link->font().underline());
            }
            d.accept();
        });
    }

    void linkOpensAndCloses_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("openerSucceeds");
        QTest::addColumn<QString>("expectedUrl");
        QTest::newRow("mail") << "lblMailTo" << true << "mailto:info@tenvari.example.org";
        QTest::newRow("mail, no mail program")
            << "lblMailTo" << false << "mailto:info@tenvari.example.org";
        QTest::newRow("web") << "lblURL" << true << "https://tenvari.example.org/";
        QTest::newRow("web, no browser") << "lblURL" << false << "https://tenvari.example.org/";
    }

    void linkOpensAndCloses() {
        QFETCH(QString, link);
        QFETCH(bool, openerSucceeds);
        QFETCH(QString, expectedUrl);
        openerResult_ = openerSucceeds;
        TTvFrmAbout& d = *dialog_;
        const int result =
            Show([&] { QTest::mouseClick(d.findChild<QLabel*>(link), Qt::LeftButton); });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
        QCOMPARE(opened_, QStringList{expectedUrl});
        // A link nothing could open is named in a warning before the dialog closes.
        if (!openerSucceeds) {
            QCOMPARE(guard_.Seen().size(), 1);
            const tv::test::TSeenModal box = guard_.Seen().takeFirst();
            QCOMPARE(box.title, QStringLiteral("警告"));
            QCOMPARE(box.text,
                     QStringLiteral("次のアドレスを開くプログラムが見つかりませんでした。\n\n") +
                         expectedUrl);
        }
    }

    // Every showing starts at OK, drawn as focused, whatever had the focus at the last one: Enter
    // closes the dialog and opens no link.
    void enterClosesAtEveryShowing() {
        TTvFrmAbout& d = *dialog_;
        Show([&] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), d.lblMailTo());
            QTest::keyClick(d.lblMailTo(), Qt::Key_Return);
        });
        QCOMPARE(opened_, QStringList{QStringLiteral("mailto:info@tenvari.example.org")});
        opened_.clear();
        const int result = Show([&] {
            QCOMPARE(QApplication::focusWidget(), d.btnOK());
            QVERIFY(d.testAttribute(Qt::WA_KeyboardFocusChange));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(opened_.isEmpty());
    }

    // Screen readers meet named objects: the icon, the links, and the line as a separator.
    void accessibleObjects() {
        TTvFrmAbout& d = *dialog_;
        Show([&] {
            QCOMPARE(QAccessible::queryAccessibleInterface(d.Image1())->text(QAccessible::Name),
                     QStringLiteral("Tenvari"));
            QCOMPARE(
                QAccessible::queryAccessibleInterface(d.findChild<QWidget*>("bvlLine"))->role(),
                QAccessible::Separator);
            QStringList unnamed;
            tv::test::ForEachAccessible(QAccessible::queryAccessibleInterface(&d),
                                        [&](QAccessibleInterface* each) {
                                            if (each->role() != QAccessible::Separator &&
                                                each->text(QAccessible::Name).isEmpty()) {
                                                unnamed << QString::number(each->role());
                                            }
                                        });
            QCOMPARE(unnamed, QStringList());
            QCOMPARE(tv::test::FocusedObjects(&d), QStringList{QStringLiteral("OK")});
            d.accept();
        });
    }

    // The two links are in the Tab order after OK and open with Enter or Space, as a click does.
    void linkOpensFromTheKeyboard_data() {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expectedUrl");
        QTest::newRow("mail, Enter")
            << 1 << int(Qt::Key_Return) << "mailto:info@tenvari.example.org";
        QTest::newRow("web, Space") << 2 << int(Qt::Key_Space) << "https://tenvari.example.org/";
    }

    void linkOpensFromTheKeyboard() {
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(QString, expectedUrl);
        TTvFrmAbout& d = *dialog_;
        const int result = Show([&] {
            QCOMPARE(QApplication::focusWidget(), d.btnOK());
            for (int i = 0; i < tabs; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QLabel* link = tabs == 1 ? d.lblMailTo() : d.lblURL();
            QCOMPARE(QApplication::focusWidget(), link);
            // The focused link shows itself as the hovered one does.
            QCOMPARE(TextColour(link), kPurple);
            QTest::keyClick(link, Qt::Key(key));
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(opened_, QStringList{expectedUrl});
    }

    void plainTextIsNoLink() {
        TTvFrmAbout& d = *dialog_;
        Show([&] {
            QTest::mouseClick(d.findChild<QLabel*>("lblLabel1"), Qt::LeftButton);
            QTest::mouseClick(d.findChild<QLabel*>("lblSoftName"), Qt::LeftButton);
            QVERIFY(d.isVisible());
            d.accept();
        });
        QVERIFY(opened_.isEmpty());
    }

    void closesWithOk_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("click") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    void closesWithOk() {
        QFETCH(int, key);
        TTvFrmAbout& d = *dialog_;
        const int result = Show([&] {
            if (key == 0) {
                QTest::mouseClick(d.btnOK(), Qt::LeftButton);
            } else {
                QTest::keyClick(&d, Qt::Key(key));
            }
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(opened_.isEmpty());
    }

private:
    int Show(const std::function<void()>& whileOpen) {
        return RunModal(
            *dialog_, [this] { return dialog_->ShowModal(); }, whileOpen);
    }

    QStringList opened_;
    bool openerResult_ = true;
    std::unique_ptr<TTvFrmAbout> dialog_;
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(FrmAboutTest)
#include "FrmAboutTest.moc"
