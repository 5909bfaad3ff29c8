#include "scriptedmodal.h"

#include <QDialog>
#include <QMetaEnum>
#include <QPrinter>

#include <algorithm>

namespace {

QString buttonName(QMessageBox::StandardButton button)
{
    const QMetaObject &mo = QMessageBox::staticMetaObject;
    const QMetaEnum e = mo.enumerator(mo.indexOfEnumerator("StandardButtons"));
    const char *key = e.isValid() ? e.valueToKey(int(button)) : nullptr;
    return key ? QString::fromLatin1(key) : QString::number(int(button));
}

} // namespace

QString ModalCall::toString() const
{
    QString s = QStringLiteral("%1: %2: %3").arg(modalKindName(kind), title, text);
    if (!answer.isEmpty())
        s += QStringLiteral(" -> ") + answer;
    if (unexpected)
        s += QStringLiteral(" [unexpected]");
    return s;
}

ScriptedModal::ScriptedModal() : m_previous(Modal::setHandler(this)) {}

ScriptedModal::~ScriptedModal()
{
    Modal::setHandler(m_previous);
}

void ScriptedModal::answerQuestion(QMessageBox::StandardButton button) { m_questions.enqueue(button); }
void ScriptedModal::answerOpenFile(const QString &fileName) { m_openFiles.enqueue(fileName); }
void ScriptedModal::answerSaveFile(const QString &fileName) { answerSaveFile(fileName, QString()); }
void ScriptedModal::answerSaveFile(const QString &fileName, const QString &selectedFilter)
{
    m_saveFiles.enqueue(fileName);
    m_saveFilters.enqueue(selectedFilter);
}
void ScriptedModal::answerDirectory(const QString &directory) { m_directories.enqueue(directory); }
void ScriptedModal::answerDialog(int result, DialogFill fill) { m_dialogs.enqueue({result, std::move(fill)}); }
void ScriptedModal::cancelProgressAt(int value) { m_progressCancels.enqueue(value); }
void ScriptedModal::answerPrint(int result, PrinterSetup setup) { m_prints.enqueue({result, std::move(setup)}); }

QList<ModalCall> ScriptedModal::calls(ModalKind kind) const
{
    QList<ModalCall> result;
    for (const ModalCall &call : m_calls)
        if (call.kind == kind)
            result.append(call);
    return result;
}

QStringList ScriptedModal::transcript() const
{
    QStringList lines;
    for (const ModalCall &call : m_calls)
        lines.append(call.toString());
    return lines;
}

int ScriptedModal::unexpectedCount() const
{
    return int(std::count_if(m_calls.cbegin(), m_calls.cend(), [](const ModalCall &c) { return c.unexpected; }));
}

int ScriptedModal::pendingAnswers() const
{
    return int(m_questions.size() + m_openFiles.size() + m_saveFiles.size() + m_directories.size()
               + m_dialogs.size() + m_progressCancels.size() + m_prints.size());
}

void ScriptedModal::clearRecord()
{
    m_calls.clear();
    m_progresses.clear();
}

void ScriptedModal::recordUnexpected(ModalCall call, const char *why)
{
    call.unexpected = true;
    qWarning("ScriptedModal: unexpected %s (%s): %s", qPrintable(modalKindName(call.kind)), why,
             qPrintable(call.toString()));
    m_calls.append(call);
}

QMessageBox::StandardButton ScriptedModal::message(ModalKind kind, QWidget *, const QString &title,
                                                   const QString &text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton)
{
    ModalCall call{kind, title, text, QString(), buttons, QString(), false};
    if (kind != ModalKind::Question) {
        call.answer = buttonName(QMessageBox::Ok);
        m_calls.append(call);
        return QMessageBox::Ok;
    }
    if (m_questions.isEmpty()) {
        call.answer = buttonName(QMessageBox::Cancel);
        recordUnexpected(call, "no answer queued");
        return QMessageBox::Cancel;
    }
    const QMessageBox::StandardButton answer = m_questions.dequeue();
    call.answer = buttonName(answer);
    if (!buttons.testFlag(answer)) {
        // The box does not have the button the test meant to press: the flow asked something else.
        recordUnexpected(call, "queued button not offered");
        return answer;
    }
    m_calls.append(call);
    return answer;
}

QString ScriptedModal::fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                                const QString &filter)
{
    if (kind == ModalKind::SaveFileName)
        return saveFileName(parent, caption, dir, filter, nullptr);
    ModalCall call{kind, caption, dir, filter, {}, QString(), false};
    QQueue<QString> &queue = kind == ModalKind::ExistingDirectory ? m_directories : m_openFiles;
    if (queue.isEmpty()) {
        recordUnexpected(call, "no file name queued");
        return QString();
    }
    call.answer = queue.dequeue();
    m_calls.append(call);
    return call.answer;
}

QString ScriptedModal::saveFileName(QWidget *, const QString &caption, const QString &dir, const QString &filter,
                                    QString *selectedFilter)
{
    ModalCall call{ModalKind::SaveFileName, caption, dir, filter, {}, QString(), false};
    if (m_saveFiles.isEmpty()) {
        recordUnexpected(call, "no file name queued");
        return QString();
    }
    call.answer = m_saveFiles.dequeue();
    const QString chosenFilter = m_saveFilters.dequeue();
    if (selectedFilter && !chosenFilter.isEmpty())
        *selectedFilter = chosenFilter;
    m_calls.append(call);
    return call.answer;
}

int ScriptedModal::exec(QDialog *dialog)
{
    ModalCall call{ModalKind::Dialog, dialog->windowTitle(), QString::fromLatin1(dialog->metaObject()->className()),
                   QString(), {}, QString(), false};
    dialog->setResult(QDialog::Rejected);
    if (m_dialogs.isEmpty()) {
        call.answer = QStringLiteral("Rejected");
        recordUnexpected(call, "no dialog answer queued");
        return QDialog::Rejected;
    }
    const DialogAnswer answer = m_dialogs.dequeue();
    if (answer.fill)
        answer.fill(dialog);
    if (answer.result == QDialog::Accepted)
        dialog->accept();
    else
        dialog->reject();
    const int result = dialog->result();
    call.answer = result == QDialog::Accepted ? QStringLiteral("Accepted") : QStringLiteral("Rejected");
    m_calls.append(call);
    return result;
}

std::unique_ptr<ModalProgressBackend> ScriptedModal::progress(const QString &labelText, const QString &cancelText,
                                                              int minimum, int maximum, QWidget *)
{
    auto record = std::make_shared<ModalProgressRecord>();
    record->labelText = labelText;
    record->cancelText = cancelText;
    record->minimum = minimum;
    record->maximum = maximum;
    if (!m_progressCancels.isEmpty())
        record->cancelAt = m_progressCancels.dequeue();
    m_progresses.append(record);
    ModalCall call{ModalKind::Progress, QString(), labelText, QString(), {},
                   QStringLiteral("range %1..%2").arg(minimum).arg(maximum), false};
    m_calls.append(call);
    return std::make_unique<RecordedProgress>(std::move(record));
}

int ScriptedModal::print(QPrinter *printer, QWidget *)
{
    ModalCall call{ModalKind::Print, QStringLiteral("Print"), printer->outputFileName(), QString(), {}, QString(),
                   false};
    if (m_prints.isEmpty()) {
        call.answer = QStringLiteral("Rejected");
        recordUnexpected(call, "no print answer queued");
        return QDialog::Rejected;
    }
    const PrintAnswer answer = m_prints.dequeue();
    const bool accepted = answer.result == QDialog::Accepted;
    if (accepted && answer.setup)
        answer.setup(printer);
    call.answer = accepted ? QStringLiteral("Accepted") : QStringLiteral("Rejected");
    m_calls.append(call);
    return accepted ? QDialog::Accepted : QDialog::Rejected;
}
