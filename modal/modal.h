#pragma once

#include <QLoggingCategory>
#include <QMap>
#include <QMessageBox>
#include <QString>

#include <memory>

class QDialog;
class QPrinter;
class QWidget;

Q_DECLARE_LOGGING_CATEGORY(lcModal)

// The kinds of modal interaction that go through the seam.
enum class ModalKind {
    Information,
    Warning,
    Question,
    OpenFileName,
    SaveFileName,
    ExistingDirectory,
    Dialog,
    Progress,
    Print,
};

QString modalKindName(ModalKind kind);

// One progress dialog as the handler provides it.
class ModalProgressBackend
{
public:
    virtual ~ModalProgressBackend();
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void close() = 0;
    virtual void setValue(int value) = 0;
    virtual int value() const = 0;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual int minimum() const = 0;
    virtual int maximum() const = 0;
    virtual void setLabelText(const QString &text) = 0;
    virtual QString labelText() const = 0;
    virtual void setWindowTitle(const QString &title) = 0;
    virtual bool wasCanceled() const = 0;
};

// Everything modal the program shows. The default handler shows Qt's dialogs; tests install
// a scripted one, and the program under test by process uses the auto-answering one.
class ModalHandler
{
public:
    virtual ~ModalHandler();

    // Information and warning boxes pass Ok as their only button.
    virtual QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title,
                                                const QString &text, QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;
    // kind is OpenFileName, SaveFileName or ExistingDirectory (which ignores filter).
    virtual QString fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                             const QString &filter) = 0;
    // A save dialog that also tells which entry of the filter the user chose, so a name typed
    // without an extension can be given the chosen one. The default asks fileName and leaves
    // selectedFilter as it is.
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter, QString *selectedFilter);
    virtual int exec(QDialog *dialog) = 0;
    // A question whose buttons show texts of their own ("Export", "Close anyway"). The answer
    // still names the standard button, so a handler that shows no buttons answers it like any
    // question: by default the texts are dropped and message() is asked.
    virtual QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton,
                                                 const QMap<QMessageBox::StandardButton, QString> &buttonTexts);
    virtual std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText,
                                                           int minimum, int maximum, QWidget *parent) = 0;
    // The system print dialog for printer; on acceptance the printer holds the user's choices.
    virtual int print(QPrinter *printer, QWidget *parent) = 0;
};

// The one way product code shows message boxes, questions, file dialogs, its own dialogs and
// progress dialogs. GUI thread only.
class Modal
{
public:
    // One box with a single OK button.
    static void information(QWidget *parent, const QString &title, const QString &text);
    static void warning(QWidget *parent, const QString &title, const QString &text);
    // Returns the button pressed.
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons
                                                = QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // The same with texts of their own on the buttons; tests answer with the standard buttons.
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton,
                                                const QMap<QMessageBox::StandardButton, QString> &buttonTexts);

    // Empty when the user cancels.
    static QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                   const QString &filter = QString());
    static QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                   const QString &filter = QString());
    // selectedFilter receives the filter entry the user chose (left as it is on cancel).
    static QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter, QString *selectedFilter);
    static QString getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir = QString());

    // Runs one of the program's own dialogs; returns its result (QDialog::Accepted/Rejected).
    static int exec(QDialog *dialog);

    // The system print dialog (printers, or printing to a PDF file) for printer. Returns
    // QDialog::Accepted when the user chose to print; the printer is then set up as chosen.
    static int print(QPrinter *printer, QWidget *parent);

    // Swaps the handler; nullptr restores the default. Returns the one that was in place.
    // The handler is not owned.
    static ModalHandler *setHandler(ModalHandler *handler);
    static ModalHandler *handler();

    // Test hook: with COLORIMETER_TEST_AUTOANSWER=1 in the environment, installs a handler that
    // shows nothing, writes one line per message box to stderr and gives the safe answer, so
    // the program can be driven as a process. Returns whether it was installed.
    static bool installFromEnvironment();
};

// A progress dialog through the seam (window-modal when it has a parent).
class ModalProgress
{
public:
    ModalProgress(const QString &labelText, const QString &cancelText, int minimum, int maximum,
                  QWidget *parent = nullptr);
    ~ModalProgress();
    ModalProgress(const ModalProgress &) = delete;
    ModalProgress &operator=(const ModalProgress &) = delete;

    void show() { d->show(); }
    void hide() { d->hide(); }
    void close() { d->close(); }
    void setValue(int value) { d->setValue(value); }
    int value() const { return d->value(); }
    void setRange(int minimum, int maximum) { d->setRange(minimum, maximum); }
    int minimum() const { return d->minimum(); }
    int maximum() const { return d->maximum(); }
    void setLabelText(const QString &text) { d->setLabelText(text); }
    QString labelText() const { return d->labelText(); }
    void setWindowTitle(const QString &title) { d->setWindowTitle(title); }
    bool wasCanceled() const { return d->wasCanceled(); }

private:
    std::unique_ptr<ModalProgressBackend> d;
};
