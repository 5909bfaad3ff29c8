// A transfer in the running program while the instrument is pulled out and plugged back: the
// removal and the arrival come through the window's device watcher while the upload's progress
// dialog runs the event loop, as a real window-modal progress dialog does.
#include "devicewatcher.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "linklock.h"
#include "mainwindow.h"
#include "modalprogressrecord.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "virtualinstrument.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A progress dialog that lets events through on every step, as a modal one does.
class LiveProgress : public RecordedProgress
{
public:
    using RecordedProgress::RecordedProgress;
    void setValue(int value) override
    {
        RecordedProgress::setValue(value);
        QCoreApplication::processEvents();
    }
};

class LiveModal : public ScriptedModal
{
public:
    std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText, int minimum,
                                                   int maximum, QWidget *parent) override
    {
        ScriptedModal::progress(labelText, cancelText, minimum, maximum, parent); // recorded
        return std::make_unique<LiveProgress>(progresses().last());
    }
};

} // namespace

class tst_TransferWindow : public QObject
{
    Q_OBJECT
private slots:
    void replugDuringUploadWaitsForTheFlow();
};

void tst_TransferWindow::replugDuringUploadWaitsForTheFlow()
{
    VirtualInstrument vi;
    hidaccess::setDefaultBackend(&vi);
    LiveModal modal;
    MainWindow *w = MainWindow::instance();
    connect(&vi, &VirtualInstrument::pluggedIn, w->deviceWatcher(), &DeviceWatcher::reportArrival);
    connect(&vi, &VirtualInstrument::unplugged, w->deviceWatcher(), &DeviceWatcher::reportRemoval);
    QTRY_VERIFY(w->isLinkOpen() && !w->page->deviceName.isEmpty());

    // 50 my-colours: a header and five packets.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Mycolor.xls"));
    CellRows rows = {{w->page->deviceName, QString(), QString(), QString()},
                     {1.0, 50.0, 0.0, 0.0},
                     {QString()},
                     {QStringLiteral("name"), QStringLiteral("L*"), QStringLiteral("a*"), QStringLiteral("b*")}};
    QByteArray header = QByteArray::fromHex("01000000") + QByteArray::fromHex("3200") + QByteArray(2, '\0');
    rows[1][3] = double(w->crc16(&header, 8));
    for (int i = 0; i < 50; ++i)
        rows.append({QStringLiteral("C%1").arg(i), QStringLiteral("50.00"), QStringLiteral("1.00"), QStringLiteral("-1.00")});
    QVERIFY(testsupport::writeSheet(path, rows));

    // Out and back in while the first value packet's progress step lets events through.
    int writes = 0;
    connect(&vi, &VirtualInstrument::frameReceived, this, [&](const QByteArray &frame) {
        if (frame.size() > 1 && quint8(frame.at(1)) == 0x70 && ++writes == 2) {
            vi.unplug();
            vi.plug();
        }
    }, Qt::QueuedConnection);
    modal.clearRecord();
    modal.answerOpenFile(path);
    w->page->on_writeMyColorBtn_clicked();
    QCOMPARE(modal.calls(ModalKind::Information).size(), 1);
    QCOMPARE(modal.calls(ModalKind::Information).at(0).text, QStringLiteral("Failed to write my color data!"));

    // Not opened again under the upload's hold; once it has let go, it is.
    QVERIFY(!w->link);
    QVERIFY(linkLock().tryLock());
    linkLock().unlock();
    QTRY_VERIFY_WITH_TIMEOUT(w->isLinkOpen(), 5000);
    QTRY_VERIFY(!w->page->deviceName.isEmpty());
    modal.clearRecord();
    modal.answerOpenFile(path);
    w->page->on_writeMyColorBtn_clicked();
    QCOMPARE(modal.calls(ModalKind::Information).at(0).text, QStringLiteral("Write my color data successfully!"));
    QCOMPARE(vi.memory(0x8000 + 14 * 49, 3), QByteArray("C49"));

    MainWindow::destroyInstance();
    hidaccess::setDefaultBackend(nullptr);
}

QTEST_MAIN(tst_TransferWindow)
#include "tst_transferwindow.moc"
