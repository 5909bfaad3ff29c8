#pragma once

#include "modal.h"

#include <QList>
#include <QString>

#include <memory>

// The life of one progress dialog that nobody sees: what it was created with and every value
// it was given. Used by the scripted and the auto-answering handlers.
struct ModalProgressRecord
{
    QString labelText;
    QString cancelText;
    QString windowTitle;
    int minimum = 0;
    int maximum = 0;
    QList<int> values;     // every setValue, in order
    int cancelAt = -1;     // the first value at which the user "presses cancel"; -1: never
    bool canceled = false;
    bool shown = false;
    bool hidden = false;   // hide() or close() was called
    bool closed = false;

    int value() const { return values.isEmpty() ? minimum - 1 : values.last(); }
};

// A progress backend that only keeps a record.
class RecordedProgress : public ModalProgressBackend
{
public:
    explicit RecordedProgress(std::shared_ptr<ModalProgressRecord> record) : m_record(std::move(record)) {}

    void show() override { m_record->shown = true; m_record->hidden = false; }
    void hide() override { m_record->hidden = true; }
    void close() override { m_record->hidden = true; m_record->closed = true; }
    void setValue(int value) override
    {
        m_record->values.append(value);
        if (m_record->cancelAt >= 0 && value >= m_record->cancelAt)
            m_record->canceled = true;
    }
    int value() const override { return m_record->value(); }
    void setRange(int minimum, int maximum) override
    {
        m_record->minimum = minimum;
        m_record->maximum = maximum;
    }
    int minimum() const override { return m_record->minimum; }
    int maximum() const override { return m_record->maximum; }
    void setLabelText(const QString &text) override { m_record->labelText = text; }
    QString labelText() const override { return m_record->labelText; }
    void setWindowTitle(const QString &title) override { m_record->windowTitle = title; }
    bool wasCanceled() const override { return m_record->canceled; }

private:
    std::shared_ptr<ModalProgressRecord> m_record;
};
