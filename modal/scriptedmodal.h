#pragma once

#include "modal.h"
#include "modalprogressrecord.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <memory>

// One interaction that reached the scripted handler.
struct ModalCall
{
    ModalKind kind = ModalKind::Information;
    QString title;    // box title, file dialog caption, dialog window title, progress window title, "Print"
    QString text;     // box text; start directory of a file dialog; class name of a dialog; progress label;
                      // output file of a print dialog, as the printer had it before the dialog
    QString filter;   // file dialogs
    QMessageBox::StandardButtons buttons; // boxes
    QString answer;   // what was given back, as text
    bool unexpected = false; // nothing was queued for it, or the queued answer did not fit

    QString toString() const;
};

// A handler for tests: answers come from queues filled in advance, one queue per kind, and every
// call is recorded. A call nobody queued an answer for does not block: it is recorded as
// unexpected, warned about, and gets the safe answer (Cancel / empty / Rejected). Information
// and warning boxes need no answer. Progress dialogs need none either; a queued cancelAt makes
// the next one report wasCanceled() from that value on.
//
// Construction installs the handler, destruction puts the previous one back.
class ScriptedModal : public ModalHandler
{
public:
    using DialogFill = std::function<void(QDialog *dialog)>;
    using PrinterSetup = std::function<void(QPrinter *printer)>;

    ScriptedModal();
    ~ScriptedModal() override;
    ScriptedModal(const ScriptedModal &) = delete;
    ScriptedModal &operator=(const ScriptedModal &) = delete;

    // The script.
    void answerQuestion(QMessageBox::StandardButton button);
    void answerOpenFile(const QString &fileName);
    void answerSaveFile(const QString &fileName);
    // The same, with the filter entry the user "chose" (given back through selectedFilter).
    void answerSaveFile(const QString &fileName, const QString &selectedFilter);
    void answerDirectory(const QString &directory);
    // fill runs on the dialog first (to set its fields); then the dialog is accepted or rejected
    // through its own accept()/reject(), so a dialog that validates in accept() still does.
    void answerDialog(int result, DialogFill fill = DialogFill());
    void cancelProgressAt(int value);
    // The next print dialog: setup stands for the user's choices (a printer, a PDF file...);
    // it runs only when result is QDialog::Accepted.
    void answerPrint(int result, PrinterSetup setup = PrinterSetup());

    // What happened.
    const QList<ModalCall> &calls() const { return m_calls; }
    QList<ModalCall> calls(ModalKind kind) const;
    QStringList transcript() const;
    int unexpectedCount() const;
    // Answers queued but not used yet; a finished flow should leave none.
    int pendingAnswers() const;
    const QList<std::shared_ptr<ModalProgressRecord>> &progresses() const { return m_progresses; }
    void clearRecord();

    // ModalHandler
    QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                         QString *selectedFilter) override;
    int exec(QDialog *dialog) override;
    std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText,
                                                   int minimum, int maximum, QWidget *parent) override;
    int print(QPrinter *printer, QWidget *parent) override;

private:
    struct DialogAnswer
    {
        int result;
        DialogFill fill;
    };
    void recordUnexpected(ModalCall call, const char *why);

    ModalHandler *m_previous = nullptr;
    QQueue<QMessageBox::StandardButton> m_questions;
    QQueue<QString> m_openFiles;
    QQueue<QString> m_saveFiles;
    QQueue<QString> m_saveFilters; // beside m_saveFiles; empty: the dialog's first entry stays
    QQueue<QString> m_directories;
    QQueue<DialogAnswer> m_dialogs;
    QQueue<int> m_progressCancels;
    struct PrintAnswer
    {
        int result;
        PrinterSetup setup;
    };
    QQueue<PrintAnswer> m_prints;
    QList<ModalCall> m_calls;
    QList<std::shared_ptr<ModalProgressRecord>> m_progresses;
};
