// Draws the README's picture: the main window against the virtual instrument, in English, after
// three measured pairs, captured from the screen it runs on (scripts/screenshot.sh runs it
// under Xvfb). Usage: colorimeter-screenshot <out.png>
#include "appinit.h"
#include "applook.h"
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "modal.h"
#include "virtualinstrument.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdio>

namespace {

void click(QWidget *root, const char *objectName)
{
    auto *button = root->findChild<QPushButton *>(QString::fromLatin1(objectName));
    if (button)
        button->click();
    QTest::qWait(200);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("colorimeter"));
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: colorimeter-screenshot <out.png>\n", stderr);
        return 2;
    }
    // Nobody is there to answer a message box.
    qputenv("COLORIMETER_TEST_AUTOANSWER", "1");
    Modal::installFromEnvironment();

    VirtualInstrument instrument;
    instrument.setMeasurementTimeMs(50);
    hidaccess::setDefaultBackend(&instrument);
    CProtocol::setWaitScaleForTests(0.05); // the measuring pause: nothing to wait for here

    applyApplicationLook(app);
    app.installEventFilter(AppInit::instance());
    MainWindow *window = MainWindow::instance();
    window->on_btnLanguageEn_clicked();
    window->setWindowTitle(QStringLiteral("Colorimeter V1.3"));
    window->setGeometry(app.primaryScreen()->availableGeometry());
    window->show();
    QTest::qWait(500);

    // One standard, a warm beige, then three samples against it: two pass, one fails. (A new
    // standard while a sample is shown would be judged against that sample too.)
    instrument.queueMeasurement(VirtualInstrument::measurementFromLab(72.40, 8.15, 24.60));
    click(window, "stdmeasurementBtn");
    const struct { double L, a, b; } samples[] = {
        {72.10, 8.40, 24.05},
        {70.90, 9.70, 26.80},
        {72.35, 8.05, 24.90},
    };
    for (const auto &s : samples) {
        instrument.queueMeasurement(VirtualInstrument::measurementFromLab(s.L, s.a, s.b));
        click(window, "samplemeasurementBtn");
    }
    QTest::qWait(500);

    const QPixmap shot = app.primaryScreen()->grabWindow(0);
    const bool saved = shot.save(QString::fromLocal8Bit(argv[1]), "PNG");
    std::printf("%s: %dx%d %s\n", argv[1], shot.width(), shot.height(), saved ? "saved" : "NOT SAVED");
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return saved ? 0 : 1;
}
