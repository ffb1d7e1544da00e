#include "desktop/TvLaunchRequest.h"

#include <QTest>

using tv::desktop::TActivation;
using tv::desktop::TCommandLine;
using tv::desktop::TLaunchRequest;
using TKind = tv::desktop::TLaunchRequest::TKind;

Q_DECLARE_METATYPE(TLaunchRequest)

class LaunchRequestTest : public QObject {
    Q_OBJECT

private slots:
    void requests_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<TLaunchRequest>("request");
        QTest::newRow("nothing") << QStringList{} << TLaunchRequest{};
        QTest::newRow("toggle") << QStringList{"--toggle"} << TLaunchRequest{TKind::Toggle, {}};
        QTest::newRow("query words joined")
            << QStringList{"5", "ft", "to", "m"} << TLaunchRequest{TKind::Query, "5 ft to m"};
        QTest::newRow("query in one word")
            << QStringList{"1坪をm2に"} << TLaunchRequest{TKind::Query, "1坪をm2に"};
        QTest::newRow("minus sign after --") << QStringList{"--", "-40", "°C", "to", "°F"}
                                             << TLaunchRequest{TKind::Query, "-40 °C to °F"};
        QTest::newRow("words after the query's first belong to it")
            << QStringList{"3", "mi", "-200", "yd", "--toggle"}
            << TLaunchRequest{TKind::Query, "3 mi -200 yd --toggle"};
    }

    void requests() {
        QFETCH(QStringList, arguments);
        QFETCH(TLaunchRequest, request);
        const TCommandLine line = tv::desktop::ParseCommandLine(arguments, "1.2.3");
        QVERIFY2(!line.Ends(), qPrintable(line.Error));
        QCOMPARE(line.Request.Kind, request.Kind);
        QCOMPARE(line.Request.Text, request.Text);
    }

    void endsAtOnce_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("error");
        const QString hint = QStringLiteral(" (tenvari --help shows the usage)");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "tenvari (Tenvari) 1.2.3\n"
                                 << "";
        QTest::newRow("short version") << QStringList{"-v"} << 0 << "tenvari (Tenvari) 1.2.3\n"
                                       << "";
        QTest::newRow("unknown option") << QStringList{"--fly"} << 2 << ""
                                        << "tenvari: unknown option --fly" + hint;
        QTest::newRow("a query starting with a minus sign, without --")
            << QStringList{"-5", "m"} << 2 << ""
            << "tenvari: unknown option -5" + hint;
        QTest::newRow("toggle with a query") << QStringList{"--toggle", "5", "m"} << 2 << ""
                                             << "tenvari: --toggle takes no query" + hint;
        QTest::newRow("an empty query") << QStringList{"", " "} << 2 << ""
                                        << "tenvari: the query is empty" + hint;
    }

    void endsAtOnce() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, error);
        const TCommandLine line = tv::desktop::ParseCommandLine(arguments, "1.2.3");
        QCOMPARE(line.ExitCode, exitCode);
        QCOMPARE(line.Output, output);
        QCOMPARE(line.Error, error);
    }

    void helpNamesEveryOption() {
        const TCommandLine line = tv::desktop::ParseCommandLine({"--help"}, "1.2.3");
        QCOMPARE(line.ExitCode, 0);
        QVERIFY(line.Output.startsWith("usage: tenvari [--toggle | QUERY...]\n"));
        for (const char* option : {"--toggle", "--help", "--version", "QUERY...", "--"}) {
            QVERIFY2(line.Output.contains(QLatin1String(option)), option);
        }
    }

    void platformDataRoundTrip_data() {
        QTest::addColumn<QByteArray>("startupId");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("none") << QByteArray() << QByteArray() << QStringList{};
        QTest::newRow("X11") << QByteArray("launcher-1-host-tenvari-0_TIME4711") << QByteArray()
                             << QStringList{"desktop-startup-id"};
        QTest::newRow("both") << QByteArray("id_TIME1") << QByteArray("token")
                              << QStringList{"activation-token", "desktop-startup-id"};
    }

    void platformDataRoundTrip() {
        QFETCH(QByteArray, startupId);
        QFETCH(QByteArray, token);
        QFETCH(QStringList, keys);
        const TActivation activation{startupId, token};
        const QVariantMap data = tv::desktop::PlatformData(activation);
        QCOMPARE(data.keys(), keys);
        QVERIFY(tv::desktop::ActivationFrom(data) == activation);
    }

    // A caller may send the platform data as byte strings (ay), as GLib does for some keys.
    void platformDataAsBytes() {
        const QVariantMap data{{"desktop-startup-id", QByteArray("id_TIME5")}};
        QCOMPARE(tv::desktop::ActivationFrom(data).StartupId, QByteArray("id_TIME5"));
    }

    void startupTime_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<uint>("time");
        QTest::newRow("launcher's id")
            << QByteArray("openbox-123-host-tenvari-0_TIME4711") << 4711u;
        QTest::newRow("largest time") << QByteArray("x_TIME4294967295") << 4294967295u;
        QTest::newRow("beyond 32 bits") << QByteArray("x_TIME4294967296") << 0u;
        QTest::newRow("no time") << QByteArray("x-y-z") << 0u;
        QTest::newRow("time not at the end") << QByteArray("x_TIME12_y") << 0u;
        QTest::newRow("empty") << QByteArray() << 0u;
    }

    void startupTime() {
        QFETCH(QByteArray, id);
        QFETCH(uint, time);
        QCOMPARE(tv::desktop::StartupTime(id), time);
    }
};

QTEST_GUILESS_MAIN(LaunchRequestTest)
#include "LaunchRequestTest.moc"
