#include "appinit.h"
#include "demopanel.h"
#include "devicewatcher.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "modal.h"
#include "qtsingleapplication.h"
#include "virtualinstrument.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QLoggingCategory>
#include <QPalette>
#include <QTimer>

#include <memory>

namespace {

// The theme's first rule is "QPalette{background:#FFFFFF;}": its colour stands at characters 20
// to 26 and is taken from there by position.
void applyStyleSheet(QApplication &app)
{
    QFile file(QStringLiteral(":/qss/psblue.css"));
    if (!file.open(QFile::ReadOnly))
        return;
    const QString qss = QString::fromLatin1(file.readAll());
    const QString paletteColor = qss.mid(20, 7);
    app.setPalette(QPalette(QColor::fromString(paletteColor)));
    app.setStyleSheet(qss);
    file.close();
}

} // namespace

int main(int argc, char *argv[])
{
    QtSingleApplication app(argc, argv, true);
    Modal::installFromEnvironment();

    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("active!!!!!"), 5000);
        Modal::information(nullptr, QStringLiteral("Warn"), QStringLiteral("Device already opened."));
        return 0;
    }

    // Demo mode: the virtual instrument stands behind the HID access layer in place of hidapi.
    // It outlives the window, whose link uses it.
    std::unique_ptr<VirtualInstrument> virtualInstrument;
    if (QCoreApplication::arguments().contains(QStringLiteral("--demo"))) {
        virtualInstrument = std::make_unique<VirtualInstrument>();
        virtualInstrument->setMeasurementTimeMs(800);
        hidaccess::setDefaultBackend(virtualInstrument.get());
    }

    applyStyleSheet(app);

    QFont font;
    // The instrument's home font first; the others render Chinese where it is not installed.
    font.setFamilies({QStringLiteral("Microsoft Yahei"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
    font.setPointSize(12);
    app.setFont(font);

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

    const int rc = app.exec();
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return rc;
}
