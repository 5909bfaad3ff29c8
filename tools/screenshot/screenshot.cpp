// Draws the README's picture: the main window against the virtual instrument, in English, after
// three measured pairs, captured from the screen it runs on (scripts/screenshot.sh runs it
// under Xvfb). Usage: colorimeter-screenshot <out.png>
// With --batch <prefix>: thirty samples instead, then the batch window opened from the page's
// button, each of its plots captured in English and in Chinese, the near-limit band on
// (<prefix>-en-0.png ... <prefix>-zh-2.png), for a look at the window by hand.
#include "appinit.h"
#include "applook.h"
#include "batchwindow.h"
#include "ui_batchwindow.h"
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "modal.h"
#include "virtualinstrument.h"

#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
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
    const bool batch = argc == 4 && QByteArray(argv[2]) == "--batch";
    if (argc != 2 && !batch) {
        std::fputs("usage: colorimeter-screenshot <out.png> [--batch <prefix>]\n", stderr);
        return 2;
    }
    // The near-limit band is switched on for the pictures: in settings of its own, not the user's.
    QTemporaryDir settings;
    if (batch)
        qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
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
    if (batch) {
        // A lot that drifts red and yellow, a few near the limit and beyond.
        for (int i = 0; i < 30; ++i) {
            const double t = i * 0.9;
            instrument.queueMeasurement(VirtualInstrument::measurementFromLab(
                72.40 + 0.4 * std::sin(t), 8.15 + 0.5 + 0.6 * std::cos(t * 1.3), 24.60 + 0.4 + 0.7 * std::sin(t * 0.7)));
            click(window, "samplemeasurementBtn");
        }
    } else {
        for (const auto &s : samples) {
            instrument.queueMeasurement(VirtualInstrument::measurementFromLab(s.L, s.a, s.b));
            click(window, "samplemeasurementBtn");
        }
    }
    QTest::qWait(500);
    if (batch) {
        // The page with the Batch button first, in <out.png>.
        app.primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG");
        click(window, "BatchBtn");
        BatchWindow *batchWindow = window->batchWindow();
        if (!batchWindow)
            return 1;
        batchWindow->ui->nearLimitCheck->setChecked(true);
        QTest::qWait(500);
        bool saved = true;
        for (const char *language : {"en", "zh"}) {
            if (QByteArray(language) == "zh")
                window->on_btnLanguageZh_clicked();
            for (int tab = 0; tab < BatchCharts::PlotCount; ++tab) {
                batchWindow->ui->plotTabs->setCurrentIndex(tab);
                batchWindow->raise();
                QTest::qWait(400);
                const QString path = QStringLiteral("%1-%2-%3.png").arg(QString::fromLocal8Bit(argv[3]), QLatin1String(language)).arg(tab);
                saved = app.primaryScreen()->grabWindow(0).save(path, "PNG") && saved;
                std::printf("%s\n", qPrintable(path));
            }
        }
        MainWindow::destroyInstance();
        hidaccess::setDefaultBackend(nullptr);
        return saved ? 0 : 1;
    }

    const QPixmap shot = app.primaryScreen()->grabWindow(0);
    const bool saved = shot.save(QString::fromLocal8Bit(argv[1]), "PNG");
    std::printf("%s: %dx%d %s\n", argv[1], shot.width(), shot.height(), saved ? "saved" : "NOT SAVED");
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return saved ? 0 : 1;
}
