#include "appinit.h"
#include "applook.h"
#include "commandline.h"
#include "demopanel.h"
#include "devicewatcher.h"
#include "hidaccess.h"
#include "historycontroller.h"
#include "mainwindow.h"
#include "modal.h"
#include "qtsingleapplication.h"
#include "virtualinstrument.h"

#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

#include <memory>

Q_LOGGING_CATEGORY(lcMain, "colorimeter.main")

int main(int argc, char *argv[])
{
    // The names decide the user's folders: ~/.local/share/colorimeter and ~/.config/colorimeter
    // (AppDataLocation, AppConfigLocation), and the single-instance key. Nothing is written
    // beside the executable or into the working directory.
    QCoreApplication::setApplicationName(QStringLiteral("colorimeter"));
    QCoreApplication::setApplicationVersion(QStringLiteral(COLORIMETER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.colorimeter.Colorimeter"));

    // Answered before any GUI object exists, so they work without a display.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    switch (commandline::earlyRequest(rawArguments)) {
    case commandline::EarlyRequest::Help:
        std::fputs(commandline::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case commandline::EarlyRequest::Version:
        std::fputs(commandline::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case commandline::EarlyRequest::None:
        break;
    }

    QtSingleApplication app(argc, argv, true);
    commandline::Options options;
    QString commandLineError;
    if (!commandline::parse(QCoreApplication::arguments(), &options, &commandLineError)) {
        std::fprintf(stderr, "colorimeter: %s\nTry 'colorimeter --help'.\n",
                     commandLineError.toLocal8Bit().constData());
        return 2;
    }
    Modal::installFromEnvironment();

    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("active!!!!!"), 5000);
        Modal::information(nullptr, QStringLiteral("Warn"), QStringLiteral("Device already opened."));
        return 0;
    }

    // Demo mode: the virtual instrument stands behind the HID access layer in place of hidapi.
    // It outlives the window, whose link uses it.
    std::unique_ptr<VirtualInstrument> virtualInstrument;
    if (options.demo) {
        virtualInstrument = std::make_unique<VirtualInstrument>();
        virtualInstrument->setMeasurementTimeMs(800);
        hidaccess::setDefaultBackend(virtualInstrument.get());
    }

    // Scripted runs end by themselves, even when the time runs out inside a message box shown
    // while the window is being built (before the event loop proper has started).
    bool quitRequested = false;
    if (options.quitAfterMs >= 0) {
        QTimer::singleShot(options.quitAfterMs, &app, [&quitRequested] {
            qCInfo(lcMain) << "--quit-after: time is up, ending";
            quitRequested = true;
            QCoreApplication::exit(0);
        });
    }

    applyApplicationLook(app);

    app.installEventFilter(AppInit::instance());

    MainWindow *window = MainWindow::instance();
    if (virtualInstrument) {
        // Plugging the virtual instrument in and out is reported like any device's.
        DeviceWatcher *watcher = window->deviceWatcher();
        QObject::connect(virtualInstrument.get(), &VirtualInstrument::pluggedIn, watcher,
                         &DeviceWatcher::reportArrival);
        QObject::connect(virtualInstrument.get(), &VirtualInstrument::unplugged, watcher,
                         &DeviceWatcher::reportRemoval);
    }
    app.setActivationWindow(window, true);
    window->setWindowTitle(QStringLiteral("Colorimeter V1.3"));
    window->setWindowState(Qt::WindowMaximized);
    window->show();
    QObject::connect(&app, &QtSingleApplication::messageReceived, window,
                     &MainWindow::handleAppMessage);
    if (virtualInstrument) {
        // Stands in for the instrument's button and cable; goes with the window.
        auto *panel = new DemoPanel(virtualInstrument.get(), window);
        panel->show();
        // Beside the window, once the window has its final size and frame.
        QTimer::singleShot(0, panel, [panel, window] { panel->placeBeside(window); });
    }

    // The history follows the table from here on; a run that did not end is offered back first.
    auto *history = new HistoryController(window, window->page, window);
    // The server's line in the top bar, and the "History location..." button.
    QObject::connect(history, &HistoryController::serverStatusChanged, window, &MainWindow::setHistoryStatus);
    QObject::connect(window, &MainWindow::historyLocationRequested, history, &HistoryController::editLocation);
    history->start();

    const int rc = quitRequested ? 0 : app.exec();
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return rc;
}
