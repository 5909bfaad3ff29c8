#pragma once

#include "modal.h"

#include <functional>

// Test hook for driving the program as a process (see Modal::installFromEnvironment): shows
// nothing, reports every box as one line and answers OK / the default button / an empty file
// name / reject. Progress dialogs run invisibly and are never cancelled.
class AutoAnswerModal : public ModalHandler
{
public:
    using Sink = std::function<void(const QString &line)>;
    // Without a sink, lines go to stderr.
    explicit AutoAnswerModal(Sink sink = Sink());

    // "modal: <title>: <text>", with line breaks of the text folded into spaces.
    static QString formatLine(const QString &title, const QString &text);

    QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override;
    int exec(QDialog *dialog) override;
    std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText,
                                                   int minimum, int maximum, QWidget *parent) override;
    int print(QPrinter *printer, QWidget *parent) override;

private:
    void emitLine(const QString &line);
    Sink m_sink;
};
