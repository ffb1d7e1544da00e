#include "ui/TvStartUp.h"

#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <utility>

namespace tv {

namespace {

// The sizes that title bars and task bars show.
constexpr int kSmallIconSize = 64;

// The icons of the program's resources ("16x16.png", ...): those up to kSmallIconSize pixels, or
// all of them. Each is read as the PNG it is: a reader left to guess the format loads every image
// plugin installed (GIF, JPEG, ...) to ask it, which costs more than decoding the icons.
QIcon ProgramIcon(bool all) {
    QIcon icon;
    const QStringList names = QDir(QStringLiteral(":/icons")).entryList();
    for (const QString& name : names) {
        if (all || name.section(QLatin1Char('x'), 0, 0).toInt() <= kSmallIconSize) {
            QImageReader reader(QStringLiteral(":/icons/") + name, "png");
            reader.setAutoDetectImageFormat(false);
            const QImage image = reader.read();
            if (!image.isNull()) {
                icon.addPixmap(QPixmap::fromImage(image));
            }
        }
    }
    return icon;
}

// Runs its work once: in the turn of the event loop after the window's first expose, whose
// handling draws the first frame, or at the latest after kLatestMs.
class TFirstFrame : public QObject {
public:
    static constexpr int kLatestMs = 500;

    TFirstFrame(QWindow* window, std::function<void()> work)
        : QObject(window), work_(std::move(work)) {
        window->installEventFilter(this);
        QTimer::singleShot(kLatestMs, this, [this] { Run(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            QTimer::singleShot(0, this, [this] { Run(); });
        }
        return false;
    }

private:
    void Run() {
        if (work_) {
            std::exchange(work_, nullptr)();
            deleteLater();
        }
    }

    std::function<void()> work_;
};

// Runs its work once, at the application's first key or click, before the event is handled.
class TFirstInput : public QObject {
public:
    TFirstInput(QObject* owner, std::function<void()> work)
        : QObject(owner), work_(std::move(work)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        switch (e->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::InputMethod:
            if (work_) {
                QCoreApplication::instance()->removeEventFilter(this);
                std::exchange(work_, nullptr)();
                deleteLater();
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void()> work_;
};

} // namespace

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Tenvari"));
    InstallQtTranslation(&app);

    QApplication::setFont(ProgramFont());
    InstallProgramStyle();
    QApplication::setWindowIcon(ProgramIcon(false));
}

void CompleteApplicationIcon() {
    QApplication::setWindowIcon(ProgramIcon(true));
}

void AfterFirstFrame(QWidget* window, std::function<void()> work) {
    window->winId();
    new TFirstFrame(window->windowHandle(), std::move(work));
}

void OnFirstInput(QObject* owner, std::function<void()> work) {
    new TFirstInput(owner, std::move(work));
}

TProgramWindows::TProgramWindows(const QString& dataDir, const QString& settingsPath,
                                 const QString& settingsDefaults)
    : main_(std::make_unique<TTvFrmMain>(dataDir, settingsPath, settingsDefaults)) {
    if (main_->UnitsLoadFailed()) {
        return;
    }
    // Made when the main window first needs one of them: a window that is never asked for
    // costs neither start-up time nor memory.
    main_->SetWindowMaker([this] {
        about_ = std::make_unique<TTvFrmAbout>(main_.get());
        all_ = std::make_unique<TTvFrmAll>(main_.get());
        set_ = std::make_unique<TTvFrmSet>(main_.get());
        main_->SetWindows(about_.get(), all_.get(), set_.get());
    });
}

TProgramWindows::~TProgramWindows() = default;

bool TProgramWindows::UnitsLoadFailed() const {
    return main_->UnitsLoadFailed();
}

void TProgramWindows::Show() {
    main_->show();
    OnFirstInput(main_.get(), [main = QPointer<TTvFrmMain>(main_.get())] {
        if (main) {
            main->OpenHistoryAhead();
        }
    });
    AfterFirstFrame(main_.get(), [] { CompleteApplicationIcon(); });
}

} // namespace tv
