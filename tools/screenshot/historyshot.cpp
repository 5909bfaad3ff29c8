// Pictures of the history window for a look by hand: the main window with its History button,
// the window's rows with a row's story, the trend, and the result of "Check history", in English
// and in Chinese. Give it a data folder holding a history (XDG_DATA_HOME) and run it under Xvfb:
//   XDG_DATA_HOME=... XDG_CONFIG_HOME=... xvfb-run -a -s "-screen 0 1366x768x24"
//       colorimeter-historyshot <out-prefix>
// It writes <out-prefix>-<en|zh>-<main|rows|trend|check>.png.
#include "appinit.h"
#include "applook.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "historycontroller.h"
#include "historywindow.h"
#include "mainwindow.h"
#include "modal.h"
#include "virtualinstrument.h"
#include "ui_historywindow.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <cstdio>

namespace {

bool shoot(const QString &path)
{
    QTest::qWait(400);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const bool saved = shot.save(path, "PNG");
    std::printf("%s: %s\n", qPrintable(path), saved ? "saved" : "NOT SAVED");
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("colorimeter"));
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: colorimeter-historyshot <out-prefix>\n", stderr);
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    qputenv("COLORIMETER_TEST_AUTOANSWER", "1");
    Modal::installFromEnvironment();
    VirtualInstrument instrument;
    hidaccess::setDefaultBackend(&instrument);
    applyApplicationLook(app);
    app.installEventFilter(AppInit::instance());
    MainWindow *window = MainWindow::instance();
    window->setWindowTitle(QStringLiteral("Colorimeter V1.3"));
    window->setGeometry(app.primaryScreen()->availableGeometry());
    window->show();
    auto *history = new HistoryController(window, window->page, window);
    history->start();
    bool ok = true;
    for (const char *language : {"en", "zh"}) {
        const bool chinese = qstrcmp(language, "zh") == 0;
        if (chinese)
            window->on_btnLanguageZh_clicked();
        else
            window->on_btnLanguageEn_clicked();
        const QString name = prefix + u'-' + QLatin1String(language) + u'-';
        window->raise();
        ok = shoot(name + QStringLiteral("main.png")) && ok;
        HistoryWindow *w = history->openWindow();
        if (!w)
            return 1;
        QTest::qWait(300);
        w->ui->rowsView->selectRow(3);
        ok = shoot(name + QStringLiteral("rows.png")) && ok;
        w->ui->tabs->setCurrentWidget(w->ui->trendTab);
        QSignalSpy trend(w, &HistoryWindow::trendShown);
        trend.wait(20000);
        ok = shoot(name + QStringLiteral("trend.png")) && ok;
        // One run: few enough rows to draw each one.
        w->ui->runsView->selectRow(0);
        trend.wait(20000);
        ok = shoot(name + QStringLiteral("trend-run.png")) && ok;
        w->ui->allRunsBtn->click();
        w->ui->tabs->setCurrentWidget(w->ui->rowsTab);
        QSignalSpy checked(w, &HistoryWindow::checkFinished);
        w->ui->checkBtn->click();
        QTest::qWait(150);
        shoot(name + QStringLiteral("checking.png"));
        checked.wait(120000);
        ok = shoot(name + QStringLiteral("check.png")) && ok;
        w->close();
        QTest::qWait(200);
    }
    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
    return ok ? 0 : 1;
}
