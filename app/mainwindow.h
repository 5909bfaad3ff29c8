#pragma once

#include "linkport.h"

class BatchSource;
class BatchWindow;
class DeviceWatcher;
class FirstPageForTesk;

#include <QDialog>
#include <QPointer>
#include <QTranslator>

namespace Ui {
class MainWindow;
}

// The program's one top-level window and the owner of the instrument link: a thin top bar (the
// connection lamp and the two language buttons) above the stacked area that holds the page.
class MainWindow : public QDialog, public LinkPort
{
    Q_OBJECT
public:
    // The one window, created on first use (the first call comes from main, on the GUI thread).
    static MainWindow *instance();
    // Closes the link and releases the window; main calls it after the event loop has ended.
    static void destroyInstance();

    ~MainWindow() override;

    // What the system reported about devices; no device is named, as with the OS notices.
    enum class DeviceEvent { Arrival, RemoveComplete, TypeSpecific };

    FirstPageForTesk *page = nullptr;

    // Where arrivals and removals come from; the virtual instrument reports through it too.
    DeviceWatcher *deviceWatcher() const { return watcher; }

    // The history server's line in the top bar ("history server unreachable, N rows waiting"),
    // hidden when empty.
    void setHistoryStatus(const QString &line);
    QString historyStatus() const;
    // The batch window on the page's table: opened by the page's Batch button, one at a time,
    // not modal; asked again, the open one comes to the front. Null while none is open.
    BatchWindow *openBatchWindow();
    BatchWindow *batchWindow() const;

public slots:
    void initForm();
    void initusbport();
    void on_btnLanguageEn_clicked();
    void on_btnLanguageZh_clicked();
    void handleAppMessage(const QString &message);
    bool OpenUSB();
    void CloseUSB();
    // Stands in for the OS device-change hook: arrival opens the link while disconnected, a
    // removal closes it when the instrument no longer answers.
    void deviceChangeEvent(MainWindow::DeviceEvent event);

signals:
    void linkOpened();
    void linkClosed();
    // The "History..." button: where the history lives.
    void historyLocationRequested();

protected:
    // Esc does nothing here: as a dialog the window would close on it, and with it the program
    // and the table, the only store of the rows.
    void keyPressEvent(QKeyEvent *event) override;

private:
    MainWindow();
    bool loadLanguage(const QString &baseName);
    void showLamp(bool on);

    Ui::MainWindow *ui;
    QTranslator *translator;
    QTranslator *qtTranslator = nullptr; // Qt's own texts (standard buttons) in Chinese
    DeviceWatcher *watcher = nullptr;
    // The table as a batch, from the start, so the row the user last made current is known
    // when the window opens.
    BatchSource *m_batchSource = nullptr;
    QPointer<BatchWindow> m_batchWindow;
};
