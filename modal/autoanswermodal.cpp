#include "autoanswermodal.h"

#include "modalprogressrecord.h"

#include <QDialog>

#include <cstdio>

AutoAnswerModal::AutoAnswerModal(Sink sink) : m_sink(std::move(sink)) {}

QString AutoAnswerModal::formatLine(const QString &title, const QString &text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
    oneLine.replace(u'\n', u' ');
    oneLine.replace(u'\r', u' ');
    return QStringLiteral("modal: %1: %2").arg(title, oneLine);
}

void AutoAnswerModal::emitLine(const QString &line)
{
    if (m_sink) {
        m_sink(line);
        return;
    }
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

QMessageBox::StandardButton AutoAnswerModal::message(ModalKind, QWidget *, const QString &title,
                                                     const QString &text, QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    emitLine(formatLine(title, text));
    if (defaultButton != QMessageBox::NoButton)
        return defaultButton;
    // What Escape would choose: the cautious answer.
    for (QMessageBox::StandardButton b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

QString AutoAnswerModal::fileName(ModalKind kind, QWidget *, const QString &caption, const QString &,
                                  const QString &)
{
    emitLine(formatLine(caption, modalKindName(kind)));
    return QString();
}

int AutoAnswerModal::exec(QDialog *dialog)
{
    emitLine(formatLine(dialog->windowTitle(), modalKindName(ModalKind::Dialog)));
    dialog->setResult(QDialog::Rejected);
    return QDialog::Rejected;
}

std::unique_ptr<ModalProgressBackend> AutoAnswerModal::progress(const QString &labelText, const QString &cancelText,
                                                                int minimum, int maximum, QWidget *)
{
    auto record = std::make_shared<ModalProgressRecord>();
    record->labelText = labelText;
    record->cancelText = cancelText;
    record->minimum = minimum;
    record->maximum = maximum;
    return std::make_unique<RecordedProgress>(std::move(record));
}

int AutoAnswerModal::print(QPrinter *, QWidget *)
{
    // Nothing is printed: the dialog is cancelled, as a person closing it would.
    emitLine(formatLine(QStringLiteral("Print"), modalKindName(ModalKind::Print)));
    return QDialog::Rejected;
}
