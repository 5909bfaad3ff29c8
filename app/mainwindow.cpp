#include "mainwindow.h"

#include "batchwindow.h"
#include "clinker.h"
#include "datafolders.h"
#include "devicewatcher.h"
#include "firstpagefortesk.h"
#include "modal.h"
#include "reportpagefortesk.h"
#include "tablebatchsource.h"
#include "udevrule.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QPixmap>

Q_LOGGING_CATEGORY(lcWindow, "colorimeter.window")

namespace {
constexpr quint16 kVendorId = udevrule::kVendorId;
constexpr quint16 kProductId = udevrule::kProductId;

MainWindow *g_window = nullptr;

// Control sizes layered over the application theme: fixed sizes for drop-down buttons,
// indicators and scroll bars.
QString controlSizeStyleSheet()
{
    QStringList rules;
    rules << QStringLiteral("QComboBox::drop-down,QDateEdit::drop-down,QTimeEdit::drop-down,"
                            "QDateTimeEdit::drop-down{width:%1px;}")
                 .arg(20);
    rules << QStringLiteral("QComboBox::down-arrow,QDateEdit[calendarPopup=\"true\"]::down-arrow,"
                            "QTimeEdit[calendarPopup=\"true\"]::down-arrow,"
                            "QDateTimeEdit[calendarPopup=\"true\"]::down-arrow"
                            "{width:%1px;height:%1px;right:2px;}")
                 .arg(10);
    rules << QStringLiteral("QRadioButton::indicator{width:%1px;height:%1px;}").arg(15);
    rules << QStringLiteral("QCheckBox::indicator,QGroupBox::indicator,QTreeWidget::indicator,"
                            "QListWidget::indicator{width:%1px;height:%1px;}")
                 .arg(13);
    rules << QStringLiteral("QScrollBar:horizontal{min-height:%1px;border-radius:%2px;}"
                            "QScrollBar::handle:horizontal{border-radius:%2px;}"
                            "QScrollBar:vertical{min-width:%1px;border-radius:%2px;}"
                            "QScrollBar::handle:vertical{border-radius:%2px;}")
                 .arg(12)
                 .arg(6);
    rules << QStringLiteral("QWidget#widget_top>QToolButton:pressed,"
                            "QWidget#widget_top>QToolButton:hover,"
                            "QWidget#widget_top>QToolButton:checked,"
                            "QWidget#widget_top>QLabel:hover{border-width:0px 0px %1px 0px;}")
                 .arg(3);
    rules << QStringLiteral("QWidget#widgetleft>QPushButton:checked,"
                            "QWidget#widgetleft>QToolButton:checked,"
                            "QWidget#widgetleft>QPushButton:pressed,"
                            "QWidget#widgetleft>QToolButton:pressed{border-width:0px 0px 0px %1px;}")
                 .arg(3);
    return rules.join(QString());
}
} // namespace

MainWindow *MainWindow::instance()
{
    if (!g_window)
        g_window = new MainWindow;
    return g_window;
}

void MainWindow::destroyInstance()
{
    delete g_window;
    g_window = nullptr;
}

MainWindow::MainWindow()
    : QDialog(nullptr), ui(new Ui::MainWindow), translator(new QTranslator)
{
    LinkPort::setCurrent(this);
    ui->setupUi(this);
    initForm();
    on_btnLanguageZh_clicked();
    initusbport();
}

MainWindow::~MainWindow()
{
    CloseUSB();
    if (LinkPort::current() == this)
        LinkPort::setCurrent(nullptr);
    delete ui;
    delete translator;
    delete qtTranslator;
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::initForm()
{
    page = new FirstPageForTesk(this);
    connect(page, &FirstPageForTesk::reportRequested, page, [this] { ReportPageForTesk::openFor(page); });
    // The source goes with the page, whose model and selection it reads; the window closes then.
    m_batchSource = new TableBatchSource(
        page->measurementModel(), page->measurementSelection(),
        [p = page] { return BatchReportInfo{p->reportCompany, p->reportTester, p->reportAuditor}; }, page);
    connect(page, &FirstPageForTesk::batchRequested, this, &MainWindow::openBatchWindow);
    ui->stackedWidget->addWidget(page);
    ui->stackedWidget->setCurrentWidget(page);
    setWindowFlags(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setStyleSheet(controlSizeStyleSheet());
    connect(ui->btnHistoryLocation, &QPushButton::clicked, this, &MainWindow::historyLocationRequested);
    setHistoryStatus(QString());
}

void MainWindow::setHistoryStatus(const QString &line)
{
    ui->historyStatusLabel->setText(line);
    ui->historyStatusLabel->setVisible(!line.isEmpty());
}

QString MainWindow::historyStatus() const
{
    return ui->historyStatusLabel->text();
}

BatchWindow *MainWindow::batchWindow() const
{
    return m_batchWindow;
}

BatchWindow *MainWindow::openBatchWindow()
{
    if (m_batchWindow) {
        m_batchWindow->setWindowState(m_batchWindow->windowState() & ~Qt::WindowMinimized);
        m_batchWindow->show();
        m_batchWindow->raise();
        m_batchWindow->activateWindow();
        return m_batchWindow;
    }
    m_batchWindow = BatchWindow::openFor(m_batchSource, this);
    return m_batchWindow;
}

void MainWindow::showLamp(bool on)
{
    ui->LinkStatusLabel->setPixmap(
        QPixmap(on ? QStringLiteral(":/image/led_on.png") : QStringLiteral(":/image/led_off.png")));
    ui->LinkStatusLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void MainWindow::initusbport()
{
    showLamp(false);
    watcher = new DeviceWatcher(kVendorId, kProductId, this);
    connect(watcher, &DeviceWatcher::deviceArrived, this,
            [this] { deviceChangeEvent(DeviceEvent::Arrival); });
    connect(watcher, &DeviceWatcher::deviceRemoved, this,
            [this] { deviceChangeEvent(DeviceEvent::RemoveComplete); });
    if (watcher->start() == DeviceWatcher::Source::None)
        qCDebug(lcWindow) << "注册失败";
    OpenUSB();
}

bool MainWindow::loadLanguage(const QString &baseName)
{
    // The working directory first, then beside the executable, then the installed data folders,
    // so an installed program finds its translations from any directory.
    const QStringList folders = QStringList{QDir::currentPath(), QCoreApplication::applicationDirPath()}
                                + installedDataFolders();
    // Loaded into a translator of its own and swapped in only when it loaded: a failed load
    // empties a translator, and the one installed would lose the language in use.
    auto *loaded = new QTranslator;
    bool found = false;
    for (const QString &folder : folders) {
        if (loaded->load(baseName, folder)) {
            qCDebug(lcWindow) << "translation" << baseName << "loaded from" << folder;
            found = true;
            break;
        }
    }
    if (!found) {
        delete loaded;
        return false;
    }
    const bool chinese = baseName.endsWith(QLatin1String("_zh"));

    // Qt's own texts (the standard buttons of every box) follow: Chinese from Qt's catalogue,
    // English as Qt's source texts.
    QTranslator *qtLoaded = nullptr;
    if (chinese) {
        qtLoaded = new QTranslator;
        if (!qtLoaded->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            qCDebug(lcWindow) << "Qt's own Chinese texts not found in"
                              << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
            delete qtLoaded;
            qtLoaded = nullptr;
        }
    }
    if (qtTranslator) {
        QCoreApplication::removeTranslator(qtTranslator);
        delete qtTranslator;
    }
    qtTranslator = qtLoaded;
    if (qtTranslator)
        QCoreApplication::installTranslator(qtTranslator);

    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = loaded;
    QCoreApplication::installTranslator(translator);

    // The form's retranslation sets the title it was designed with (none): keep the program's.
    const QString title = windowTitle();
    ui->retranslateUi(this);
    setWindowTitle(title);
    page->isChinese = chinese;
    page->retranslatePage();
    return true;
}

void MainWindow::on_btnLanguageEn_clicked()
{
    loadLanguage(QStringLiteral("Pelmo_en"));
}

void MainWindow::on_btnLanguageZh_clicked()
{
    loadLanguage(QStringLiteral("Pelmo_zh"));
}

void MainWindow::handleAppMessage(const QString &message)
{
    qCDebug(lcWindow) << message;
    show();
}

bool MainWindow::OpenUSB()
{
    if (link)
        return false;
    // A flow that took the link lock before the instrument went may still hold it in a dialog.
    // It must come back to no link, not to a fresh one polled by a new worker: open once it
    // lets go.
    if (!linkLock().tryLock()) {
        whenLinkLockFree(this, [this] { OpenUSB(); });
        return false;
    }
    linkLock().unlock();
    auto *usb = new CLinkerUSB;
    if (usb->open(kVendorId, kProductId) != 0) {
        const bool denied = usb->lastOpenError() == hidaccess::OpenError::PermissionDenied;
        delete usb;
        if (denied) {
            const QString rule = udevrule::installedRule();
            const QString command = udevrule::fixCommand(rule);
            qCWarning(lcWindow) << "the instrument is present but this user may not open it; rule:"
                                << (rule.isEmpty() ? QStringLiteral("not installed") : rule)
                                << "fix:" << command;
            Modal::information(this, tr("Warn"),
                               tr("The instrument is plugged in, but this user may not open it. "
                                  "The udev rule \"%1\" gives the user at this computer access. "
                                  "Run this command, then plug the instrument in again:\n\n%2")
                                   .arg(udevrule::fileName(), command));
        }
        return false;
    }
    link = usb;
    showLamp(true);
    page->openThreadSlot();
    page->readInstrumentSettings();
    emit linkOpened();
    return true;
}

void MainWindow::CloseUSB()
{
    if (!link)
        return;
    // The worker polls through the link: it stops before the link goes, so no polling read
    // runs on a deleted link.
    page->closeThreadSlot();
    link->close();
    delete link;
    link = nullptr;
    showLamp(false);
    page->clear();
    emit linkClosed();
}

void MainWindow::deviceChangeEvent(MainWindow::DeviceEvent event)
{
    qCDebug(lcWindow) << "收到事件 ";
    switch (event) {
    case DeviceEvent::Arrival:
        if (!link) {
            qCDebug(lcWindow) << "USB_设备打开";
            qCDebug(lcWindow) << "DBT_DEVICEARRIVAL";
            OpenUSB();
        }
        break;
    case DeviceEvent::RemoveComplete:
        if (link && link->isRemoved()) {
            qCDebug(lcWindow) << "USB_设备移除";
            CloseUSB();
        }
        qCDebug(lcWindow) << "DBT_DEVICEREMOVECOMPLETE";
        break;
    case DeviceEvent::TypeSpecific:
        qCDebug(lcWindow) << "DBT_DEVICETYPESPECIFIC ";
        break;
    }
}
