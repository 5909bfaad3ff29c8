#include "modal.h"

#include "autoanswermodal.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

Q_LOGGING_CATEGORY(lcModal, "colorimeter.modal")

ModalProgressBackend::~ModalProgressBackend() = default;
ModalHandler::~ModalHandler() = default;

QMessageBox::StandardButton ModalHandler::question(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton,
                                                   const QMap<QMessageBox::StandardButton, QString> &)
{
    return message(ModalKind::Question, parent, title, text, buttons, defaultButton);
}

QString ModalHandler::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter, QString *)
{
    return fileName(ModalKind::SaveFileName, parent, caption, dir, filter);
}

QString modalKindName(ModalKind kind)
{
    switch (kind) {
    case ModalKind::Information: return QStringLiteral("information");
    case ModalKind::Warning: return QStringLiteral("warning");
    case ModalKind::Question: return QStringLiteral("question");
    case ModalKind::OpenFileName: return QStringLiteral("open file");
    case ModalKind::SaveFileName: return QStringLiteral("save file");
    case ModalKind::ExistingDirectory: return QStringLiteral("directory");
    case ModalKind::Dialog: return QStringLiteral("dialog");
    case ModalKind::Progress: return QStringLiteral("progress");
    case ModalKind::Print: return QStringLiteral("print");
    }
    return QString();
}

namespace {

class QtProgress : public ModalProgressBackend
{
public:
    QtProgress(const QString &labelText, const QString &cancelText, int minimum, int maximum, QWidget *parent)
        : m_dialog(new QProgressDialog(labelText, cancelText, minimum, maximum, parent))
    {
        if (parent)
            m_dialog->setWindowModality(Qt::WindowModal);
    }
    ~QtProgress() override { delete m_dialog.data(); } // null if the parent went first

    void show() override { if (m_dialog) m_dialog->show(); }
    void hide() override { if (m_dialog) m_dialog->hide(); }
    void close() override { if (m_dialog) m_dialog->close(); }
    void setValue(int value) override { if (m_dialog) m_dialog->setValue(value); }
    int value() const override { return m_dialog ? m_dialog->value() : 0; }
    void setRange(int minimum, int maximum) override { if (m_dialog) m_dialog->setRange(minimum, maximum); }
    int minimum() const override { return m_dialog ? m_dialog->minimum() : 0; }
    int maximum() const override { return m_dialog ? m_dialog->maximum() : 0; }
    void setLabelText(const QString &text) override { if (m_dialog) m_dialog->setLabelText(text); }
    QString labelText() const override { return m_dialog ? m_dialog->labelText() : QString(); }
    void setWindowTitle(const QString &title) override { if (m_dialog) m_dialog->setWindowTitle(title); }
    bool wasCanceled() const override { return m_dialog && m_dialog->wasCanceled(); }

private:
    QPointer<QProgressDialog> m_dialog;
};

// The real dialogs.
class QtModalHandler : public ModalHandler
{
public:
    QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        switch (kind) {
        case ModalKind::Warning:
            return QMessageBox::warning(parent, title, text, buttons, defaultButton);
        case ModalKind::Question:
            return QMessageBox::question(parent, title, text, buttons, defaultButton);
        default:
            return QMessageBox::information(parent, title, text, buttons, defaultButton);
        }
    }

    QString fileName(ModalKind kind, QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override
    {
        switch (kind) {
        case ModalKind::SaveFileName:
            return QFileDialog::getSaveFileName(parent, caption, dir, filter);
        case ModalKind::ExistingDirectory:
            return QFileDialog::getExistingDirectory(parent, caption, dir);
        default:
            return QFileDialog::getOpenFileName(parent, caption, dir, filter);
        }
    }

    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                         QString *selectedFilter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
    }

    int exec(QDialog *dialog) override { return dialog->exec(); }

    QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton,
                                         const QMap<QMessageBox::StandardButton, QString> &buttonTexts) override
    {
        QMessageBox box(QMessageBox::Question, title, text, buttons, parent);
        box.setDefaultButton(defaultButton);
        for (auto it = buttonTexts.cbegin(); it != buttonTexts.cend(); ++it)
            if (QAbstractButton *button = box.button(it.key()))
                button->setText(it.value());
        return QMessageBox::StandardButton(box.exec());
    }

    std::unique_ptr<ModalProgressBackend> progress(const QString &labelText, const QString &cancelText,
                                                   int minimum, int maximum, QWidget *parent) override
    {
        return std::make_unique<QtProgress>(labelText, cancelText, minimum, maximum, parent);
    }

    int print(QPrinter *printer, QWidget *parent) override
    {
        QPrintDialog dialog(printer, parent);
        return dialog.exec();
    }
};

QtModalHandler &defaultHandler()
{
    static QtModalHandler handler;
    return handler;
}

AutoAnswerModal &autoAnswerHandler()
{
    static AutoAnswerModal handler;
    return handler;
}

ModalHandler *g_handler = nullptr;

} // namespace

ModalHandler *Modal::setHandler(ModalHandler *handler)
{
    ModalHandler *previous = g_handler;
    g_handler = handler;
    return previous;
}

ModalHandler *Modal::handler()
{
    if (g_handler)
        return g_handler;
    // Under the test hook even a box nobody scripted answers itself instead of waiting for a
    // person who is not there: a test fails, it does not hang.
    static ModalHandler *const fallback =
        qEnvironmentVariableIntValue("COLORIMETER_TEST_AUTOANSWER") == 1
            ? static_cast<ModalHandler *>(&autoAnswerHandler())
            : static_cast<ModalHandler *>(&defaultHandler());
    return fallback;
}

void Modal::information(QWidget *parent, const QString &title, const QString &text)
{
    handler()->message(ModalKind::Information, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void Modal::warning(QWidget *parent, const QString &title, const QString &text)
{
    handler()->message(ModalKind::Warning, parent, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton Modal::question(QWidget *parent, const QString &title, const QString &text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    return handler()->message(ModalKind::Question, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Modal::question(QWidget *parent, const QString &title, const QString &text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton,
                                            const QMap<QMessageBox::StandardButton, QString> &buttonTexts)
{
    return handler()->question(parent, title, text, buttons, defaultButton, buttonTexts);
}

QString Modal::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return handler()->fileName(ModalKind::OpenFileName, parent, caption, dir, filter);
}

QString Modal::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return handler()->fileName(ModalKind::SaveFileName, parent, caption, dir, filter);
}

QString Modal::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                               QString *selectedFilter)
{
    return handler()->saveFileName(parent, caption, dir, filter, selectedFilter);
}

QString Modal::getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return handler()->fileName(ModalKind::ExistingDirectory, parent, caption, dir, QString());
}

int Modal::exec(QDialog *dialog)
{
    return handler()->exec(dialog);
}

int Modal::print(QPrinter *printer, QWidget *parent)
{
    return handler()->print(printer, parent);
}

bool Modal::installFromEnvironment()
{
    if (qEnvironmentVariableIntValue("COLORIMETER_TEST_AUTOANSWER") != 1)
        return false;
    setHandler(&autoAnswerHandler());
    qCInfo(lcModal) << "COLORIMETER_TEST_AUTOANSWER=1: modal boxes are answered automatically";
    return true;
}

ModalProgress::ModalProgress(const QString &labelText, const QString &cancelText, int minimum, int maximum,
                             QWidget *parent)
    : d(Modal::handler()->progress(labelText, cancelText, minimum, maximum, parent))
{
}

ModalProgress::~ModalProgress() = default;
