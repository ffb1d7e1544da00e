#include "ui/TvIniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <stdexcept>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using tv::TIniFile;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::string Std(const QString& text) {
    return text.toStdString();
}

// Runs check() with the rights of an ordinary user: root writes into read-only folders, so as root
// it runs in a child process that has dropped to the user "nobody". Returns what check() returned.
bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

class TvIniFileTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        folder_.reset(new QTemporaryDir);
        QVERIFY(folder_->isValid());
        path_ = folder_->filePath(QStringLiteral("tenvari.ini"));
    }

    void readInteger_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");

        // Every row reads with default -7, so a default is told apart from a stored value.
        const QByteArray winPos = "[StartUp]\nWinPos=";
        QTest::newRow("decimal") << winPos + "12\n"
                                 << "StartUp"
                                 << "WinPos" << 12;
        QTest::newRow("negative") << winPos + "-1\n"
                                  << "StartUp"
                                  << "WinPos" << -1;
        QTest::newRow("plus sign") << winPos + "+3\n"
                                   << "StartUp"
                                   << "WinPos" << 3;
        QTest::newRow("0x hexadecimal") << winPos + "0x1\n"
                                        << "StartUp"
                                        << "WinPos" << 1;
        QTest::newRow("$ hexadecimal") << winPos + "$1\n"
                                       << "StartUp"
                                       << "WinPos" << 1;
        QTest::newRow("upper-case hex digits") << winPos + "$FF\n"
                                               << "StartUp"
                                               << "WinPos" << 255;
        QTest::newRow("int minimum") << winPos + "-2147483648\n"
                                     << "StartUp"
                                     << "WinPos" << INT_MIN;
        QTest::newRow("int maximum") << winPos + "0x7FFFFFFF\n"
                                     << "StartUp"
                                     << "WinPos" << INT_MAX;
        QTest::newRow("letters") << winPos + "abc\n"
                                 << "StartUp"
                                 << "WinPos" << -7;
        QTest::newRow("digits then letters") << winPos + "12a\n"
                                             << "StartUp"
                                             << "WinPos" << -7;
        QTest::newRow("empty value") << winPos + "\n"
                                     << "StartUp"
                                     << "WinPos" << -7;
        QTest::newRow("sign alone") << winPos + "-\n"
                                    << "StartUp"
                                    << "WinPos" << -7;
        QTest::newRow("prefix alone") << winPos + "0x\n"
                                      << "StartUp"
                                      << "WinPos" << -7;
        QTest::newRow("decimal point") << winPos + "1.5\n"
                                       << "StartUp"
                                       << "WinPos" << -7;
        QTest::newRow("decimal overflow") << winPos + "2147483648\n"
                                          << "StartUp"
                                          << "WinPos" << -7;
        QTest::newRow("long overflow") << winPos + "99999999999999999999999\n"
                                       << "StartUp"
                                       << "WinPos" << -7;
        QTest::newRow("hex overflow") << winPos + "$80000000\n"
                                      << "StartUp"
                                      << "WinPos" << -7;
        QTest::newRow("names ignore case") << QByteArray("[startup]\nWINPOS=1\n") << "StartUp"
                                           << "WinPos" << 1;
        QTest::newRow("blanks around names and =")
            << QByteArray("  [ StartUp ]  \n\t WinPos \t=  4 \n") << "StartUp"
            << "WinPos" << 4;
        QTest::newRow("CR LF line ends")
            << QByteArray("[StartUp]\r\nWinPos=5\r\nTop=6\r\n") << "StartUp"
            << "Top" << 6;
        QTest::newRow("UTF-8 byte order mark")
            << QByteArray("\xEF\xBB\xBF[StartUp]\nWinPos=2\n") << "StartUp"
            << "WinPos" << 2;
        QTest::newRow("no line end at the end") << QByteArray("[StartUp]\nWinPos=3") << "StartUp"
                                                << "WinPos" << 3;
        QTest::newRow("comment line skipped") << QByteArray("[StartUp]\n;WinPos=1\n") << "StartUp"
                                              << "WinPos" << -7;
        QTest::newRow("entry before the first section ignored")
            << QByteArray("WinPos=1\n[StartUp]\n") << "StartUp"
            << "WinPos" << -7;
        QTest::newRow("key of another section") << QByteArray("[Convert]\nWinPos=1\n") << "StartUp"
                                                << "WinPos" << -7;
        QTest::newRow("missing key") << QByteArray("[StartUp]\nTop=1\n") << "StartUp"
                                     << "WinPos" << -7;
        QTest::newRow("first of two equal keys")
            << QByteArray("[StartUp]\nTop=1\nTop=2\n") << "StartUp"
            << "Top" << 1;
        QTest::newRow("section named twice") << QByteArray("[A]\nx=1\n[B]\n[a]\ny=2\n") << "A"
                                             << "y" << 2;
        QTest::newRow("value holding =") << QByteArray("[A]\nx==1\n") << "A"
                                         << "x" << -7;
        QTest::newRow("unclosed section line is an entry") << QByteArray("[A]\n[B\nx=1\n") << "A"
                                                           << "x" << 1;
        static const char garbage[] = "\x00\xFF[\x01]\n=\n\xFE=\x80\n[StartUp]\nWin\x00Pos=1\n";
        QTest::newRow("binary garbage") << QByteArray(garbage, sizeof garbage - 1) << "StartUp"
                                        << "WinPos" << -7;
    }

    void readInteger() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, expected);
        WriteAll(path_, file);
        QCOMPARE(TIniFile(Std(path_)).ReadInteger(Std(section), Std(key), -7), expected);
    }

    void missingFileGivesDefaults() {
        const TIniFile ini(Std(path_));
        QCOMPARE(ini.ReadInteger("StartUp", "WinPos", 0), 0);
        QCOMPARE(ini.ReadInteger("StartUp", "LastUnits", -1), -1);
        QVERIFY(!QFile::exists(path_));
    }

    // The user's own file, while it does not exist, starts from the file given as defaults; the
    // defaults file itself is never written, and is ignored once the user's file exists.
    void defaultsReadWhileTheFileIsMissing() {
        const QString defaults = folder_->filePath(QStringLiteral("beside.ini"));
        const QByteArray defaultsText("[Convert]\nShowAns=2\n[Mine]\nKeep=yes\n");
        WriteAll(defaults, defaultsText);
        TIniFile ini(Std(path_), Std(defaults));
        QCOMPARE(ini.ReadInteger("Convert", "ShowAns", 0), 2);
        ini.WriteInteger("StartUp", "Left", 5);
        ini.Save();
        QCOMPARE(ReadAll(path_),
                 QByteArray("[Convert]\nShowAns=2\n\n[Mine]\nKeep=yes\n\n[StartUp]\nLeft=5\n\n"));
        QCOMPARE(ReadAll(defaults), defaultsText);

        WriteAll(path_, "[Convert]\nShowAns=1\n");
        QCOMPARE(TIniFile(Std(path_), Std(defaults)).ReadInteger("Convert", "ShowAns", 0), 1);
        QCOMPARE(TIniFile(Std(path_), Std(folder_->filePath("none.ini")))
                     .ReadInteger("Convert", "ShowAns", 0),
                 1);
    }

    void firstSaveCreatesTheFile() {
        TIniFile ini(Std(path_));
        ini.WriteInteger("StartUp", "Left", 10);
        ini.WriteInteger("StartUp", "Top", -20);
        ini.WriteInteger("StartUp", "LastUnits", 0);
        ini.Save();
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nLeft=10\nTop=-20\nLastUnits=0\n\n"));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tenvari.ini"});
    }

    // Writing replaces in place, appends a new key to its section and a new section at the end;
    // hand-written sections, keys and lines without "=" stay, comments and blank lines go.
    void saveKeepsWhatTheProgramDidNotWrite() {
        WriteAll(path_, "; written by hand\r\n"
                        "orphan=1\r\n"
                        "[StartUp]\r\n"
                        "  Left = 5  \r\n"
                        "\r\n"
                        "MyNote=keep me\r\n"
                        "[Mine]\r\n"
                        "; a comment\r\n"
                        "a line without equals\r\n"
                        "Colour = blue \r\n");
        TIniFile ini(Std(path_));
        ini.WriteInteger("startup", "LEFT", 7);
        ini.WriteInteger("StartUp", "Top", 8);
        ini.WriteInteger("Convert", "ShowAns", 2);
        ini.Save();
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\n"
                                            "Left=7\n"
                                            "MyNote=keep me\n"
                                            "Top=8\n"
                                            "\n"
                                            "[Mine]\n"
                                            "a line without equals\n"
                                            "Colour=blue\n"
                                            "\n"
                                            "[Convert]\n"
                                            "ShowAns=2\n"
                                            "\n"));
    }

    // Shutdown writes the position and group, the settings dialog the six settings; each save
    // reads the file first, so neither loses the other's keys.
    void shutdownAndDialogKeysSurviveEachOther() {
        const auto shutdown = [this](int left) {
            TIniFile ini(Std(path_));
            ini.WriteInteger("StartUp", "Left", left);
            ini.WriteInteger("StartUp", "Top", 20);
            ini.WriteInteger("StartUp", "LastUnits", 3);
            ini.Save();
        };
        const auto dialogOk = [this](int showAns) {
            TIniFile ini(Std(path_));
            ini.WriteInteger("StartUp", "WinPos", 1);
            ini.WriteInteger("StartUp", "UnitSeries", 2);
            ini.WriteInteger("StartUp", "SetUnits", 4);
            ini.WriteInteger("Convert", "ConvDispose", 1);
            ini.WriteInteger("Convert", "ShowAns", showAns);
            ini.WriteInteger("Convert", "ShowExp", 1);
            ini.Save();
        };
        shutdown(10);
        dialogOk(2);
        shutdown(11);
        dialogOk(1);
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nLeft=11\nTop=20\nLastUnits=3\nWinPos=1\n"
                                            "UnitSeries=2\nSetUnits=4\n\n"
                                            "[Convert]\nConvDispose=1\nShowAns=1\nShowExp=1\n\n"));
    }

    void saveKeepsPermissions() {
        WriteAll(path_, "[A]\nx=1\n");
        QVERIFY(chmod(path_.toLocal8Bit().constData(), 0640) == 0);
        TIniFile ini(Std(path_));
        ini.WriteInteger("A", "x", 2);
        ini.Save();
        struct stat info {};
        QVERIFY(stat(path_.toLocal8Bit().constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, 0640u);
    }

    void saveCreatesMissingFolders() {
        const QString nested = folder_->filePath(QStringLiteral("config/tenvari/tenvari.ini"));
        TIniFile ini(Std(nested));
        ini.WriteInteger("A", "x", 1);
        ini.Save();
        QCOMPARE(ReadAll(nested), QByteArray("[A]\nx=1\n\n"));
    }

    // Tests run as root, which writes into read-only folders, so the failures come from a path
    // that is a folder and from a path below a regular file.
    void failedSaveThrowsAndLeavesNoTrace_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("path is a folder") << QStringLiteral("tenvari.ini");
        QTest::newRow("path below a regular file") << QStringLiteral("plain/tenvari.ini");
    }

    void failedSaveThrowsAndLeavesNoTrace() {
        QFETCH(QString, target);
        QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("tenvari.ini")));
        WriteAll(folder_->filePath(QStringLiteral("tenvari.ini/inside")), "[A]\nx=1\n");
        WriteAll(folder_->filePath(QStringLiteral("plain")), "old contents");
        const QString path = folder_->filePath(target);

        TIniFile ini(Std(path));
        QCOMPARE(ini.ReadInteger("A", "x", -1), -1);
        ini.WriteInteger("A", "x", 2);
        try {
            ini.Save();
            QFAIL("the save did not fail");
        } catch (const std::runtime_error& error) {
            QVERIFY2(QString::fromStdString(error.what()).contains(path), error.what());
        }
        QCOMPARE(ReadAll(folder_->filePath(QStringLiteral("plain"))), QByteArray("old contents"));
        QCOMPARE(ReadAll(folder_->filePath(QStringLiteral("tenvari.ini/inside"))),
                 QByteArray("[A]\nx=1\n"));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"plain", "tenvari.ini"}));
    }

    // A folder the user may not write to: the save throws and the old file stays as it was.
    void saveIntoReadOnlyFolderFails() {
        const QByteArray old = "[StartUp]\nLeft=1\n\n";
        WriteAll(path_, old);
        QVERIFY(chmod(QFile::encodeName(path_).constData(), 0666) == 0);
        QVERIFY(chmod(QFile::encodeName(folder_->path()).constData(), 0555) == 0);
        const std::string path = Std(path_);
        const bool threwNamingTheFile = AsOrdinaryUser([&path] {
            TIniFile ini(path);
            if (ini.ReadInteger("StartUp", "Left", 0) != 1)
                return false;
            ini.WriteInteger("StartUp", "Left", 2);
            try {
                ini.Save();
            } catch (const std::runtime_error& error) {
                return std::string(error.what()).find(path) != std::string::npos;
            }
            return false;
        });
        QVERIFY(chmod(QFile::encodeName(folder_->path()).constData(), 0700) == 0);
        QVERIFY(threwNamingTheFile);
        QCOMPARE(ReadAll(path_), old);
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tenvari.ini"});
    }

    // A write that fails half-way (here: the file-size limit, which binds root too) leaves the
    // old file whole and no temporary file behind.
    void writeFailingHalfWayKeepsTheOldFile() {
        const QByteArray old = "[StartUp]\nLeft=1\n\n";
        WriteAll(path_, old);
        TIniFile ini(Std(path_));
        ini.WriteInteger("StartUp", "Top", 123456789);
        ini.WriteInteger("Convert", "ShowAns", 2);

        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        bool threw = false;
        try {
            ini.Save();
        } catch (const std::runtime_error& error) {
            threw = QString::fromStdString(error.what()).contains(path_);
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(threw);
        QCOMPARE(ReadAll(path_), old);
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tenvari.ini"});
    }

    // Sections are found through an index: among many, each is found, whatever the case of
    // its name, and a section named again joins the first.
    void manySectionsAreEachFound() {
        QByteArray file;
        for (int i = 0; i < 20000; ++i) {
            file += "[S" + QByteArray::number(i) + "]\nk=" + QByteArray::number(i) + "\n";
        }
        file += "[s7]\nj=70\n";
        WriteAll(path_, file);
        TIniFile ini(Std(path_));
        for (const int i : {0, 7, 12345, 19999}) {
            QCOMPARE(ini.ReadInteger("s" + std::to_string(i), "K", -1), i);
        }
        QCOMPARE(ini.ReadInteger("S7", "j", -1), 70);
        ini.WriteInteger("S19999", "new", 1);
        ini.WriteInteger("Z", "z", 2);
        ini.Save();
        const QByteArray saved = ReadAll(path_);
        QVERIFY(saved.contains("[S7]\nk=7\nj=70\n\n[S8]"));
        QVERIFY(saved.endsWith("[S19999]\nk=19999\nnew=1\n\n[Z]\nz=2\n\n"));
    }

    // A save killed at any moment leaves the old or the new file, and whatever temporary file it
    // left is removed by the next save: with O_TMPFILE, and the way of filesystems without it.
    void killedSavesLeaveNothingBehind_data() {
        QTest::addColumn<bool>("unnamed");
        QTest::newRow("O_TMPFILE") << true;
        QTest::newRow("named temporary files") << false;
    }

    void killedSavesLeaveNothingBehind() {
        QFETCH(bool, unnamed);
        WriteAll(path_, "[Mine]\nkeep=1\n");
        const std::string path = Std(path_);
        for (int kill = 0; kill < 60; ++kill) {
            int saves[2];
            QVERIFY(pipe(saves) == 0);
            const pid_t child = fork();
            if (child == 0) {
                TIniFile::UseUnnamedTemporaries(unnamed);
                for (int i = 0;; ++i) {
                    TIniFile ini(path);
                    ini.WriteInteger("StartUp", "Left", i);
                    ini.Save();
                    (void)!write(saves[1], "s", 1);
                }
            }
            close(saves[1]);
            // Killed after a few saves, in the middle of the next one.
            bool saving = true;
            char done = 0;
            for (int n = 0; n <= kill % 3 && saving; ++n) {
                saving = read(saves[0], &done, 1) == 1;
            }
            ::kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            close(saves[0]);
            QVERIFY(saving);
            QCOMPARE(TIniFile(path).ReadInteger("Mine", "keep", 0), 1);
        }
        TIniFile::UseUnnamedTemporaries(unnamed);
        TIniFile(path).Save();
        TIniFile::UseUnnamedTemporaries(true);
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tenvari.ini"});
        QCOMPARE(TIniFile(path).ReadInteger("Mine", "keep", 0), 1);
    }

    // What a killed save leaves is named after the file and held by nobody; a save removes it
    // and nothing else, not a temporary file that a live save holds.
    void staleTemporariesAreRemovedAndNothingElse() {
        const QStringList others = {"tenvari.ini.backup", ".tenvari.ini.tmp.toolong",
                                    ".other.ini.tmp.AbC123", "tenvari.ini.Xy12Z9"};
        for (const QString& name : others + QStringList{".tenvari.ini.tmp.AbC123"}) {
            WriteAll(folder_->filePath(name), "x");
        }
        const QString held = folder_->filePath(QStringLiteral(".tenvari.ini.tmp.live01"));
        WriteAll(held, "y");
        const int heldFd = open(QFile::encodeName(held).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(heldFd >= 0 && flock(heldFd, LOCK_EX) == 0);
        TIniFile ini(Std(path_));
        ini.WriteInteger("A", "x", 1);
        QVERIFY(ini.Save() == tv::TIniSave::Saved);
        close(heldFd);
        QStringList expected = others + QStringList{".tenvari.ini.tmp.live01", "tenvari.ini"};
        expected.sort();
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    // A file its owner made read-only is not replaced: what a save would write is kept for the
    // rest of the process, read back in place of the file, until a save succeeds again.
    void readOnlyFileIsKeptForTheSession() {
        const QByteArray old = "[StartUp]\nLeft=1\n";
        WriteAll(path_, old);
        const QByteArray file = QFile::encodeName(path_);
        QVERIFY(chmod(file.constData(), 0444) == 0);
        struct stat before {};
        QVERIFY(stat(file.constData(), &before) == 0);
        QVERIFY(TIniFile::IsReadOnly(Std(path_)));

        TIniFile ini(Std(path_));
        ini.WriteInteger("StartUp", "Left", 2);
        QVERIFY(ini.Save() == tv::TIniSave::KeptForSession);
        struct stat after {};
        QVERIFY(stat(file.constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode & 07777, 0444u);
        QCOMPARE(ReadAll(path_), old);
        QCOMPARE(TIniFile(Std(path_)).ReadInteger("StartUp", "Left", 0), 2);
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tenvari.ini"});

        QVERIFY(chmod(file.constData(), 0644) == 0);
        QVERIFY(!TIniFile::IsReadOnly(Std(path_)));
        TIniFile writable(Std(path_));
        writable.WriteInteger("StartUp", "Top", 3);
        QVERIFY(writable.Save() == tv::TIniSave::Saved);
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nLeft=2\nTop=3\n\n"));
        WriteAll(path_, "[StartUp]\nLeft=9\n");
        QCOMPARE(TIniFile(Std(path_)).ReadInteger("StartUp", "Left", 0), 9);
    }

    // Another user's file that the user may not write is read-only to the user too.
    void fileTheUserMayNotWriteIsReadOnly() {
        if (geteuid() != 0) {
            QSKIP("needs a file of another user");
        }
        WriteAll(path_, "[StartUp]\nLeft=1\n");
        QVERIFY(chmod(QFile::encodeName(path_).constData(), 0644) == 0);
        QVERIFY(chmod(QFile::encodeName(folder_->path()).constData(), 0777) == 0);
        const std::string path = Std(path_);
        QVERIFY(AsOrdinaryUser([&path] {
            TIniFile ini(path);
            ini.WriteInteger("StartUp", "Left", 2);
            return TIniFile::IsReadOnly(path) && ini.Save() == tv::TIniSave::KeptForSession;
        }));
        QVERIFY(chmod(QFile::encodeName(folder_->path()).constData(), 0700) == 0);
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nLeft=1\n"));
    }

    // A FIFO (here behind a link) is neither waited for when read nor replaced when saved.
    void nonRegularFileIsNeitherReadNorReplaced() {
        const QString fifo = folder_->filePath(QStringLiteral("fifo"));
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(QFile::link(fifo, path_));
        auto reading = std::async(
            std::launch::async, [this] { return TIniFile(Std(path_)).ReadInteger("A", "x", -1); });
        if (reading.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            close(open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
            QFAIL("reading the settings waited for a writer");
        }
        QCOMPARE(reading.get(), -1);
        TIniFile ini(Std(path_));
        ini.WriteInteger("A", "x", 1);
        try {
            ini.Save();
            QFAIL("the save did not fail");
        } catch (const std::runtime_error& error) {
            QCOMPARE(
                QString::fromStdString(error.what()),
                QStringLiteral("設定ファイル %1 を保存できません (通常のファイルではありません)")
                    .arg(path_));
        }
        struct stat st {};
        QVERIFY(stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }

private:
    std::unique_ptr<QTemporaryDir> folder_;
    QString path_;
};

QTEST_GUILESS_MAIN(TvIniFileTest)
#include "TvIniFileTest.moc"
