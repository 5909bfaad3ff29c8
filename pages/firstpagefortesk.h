#pragma once

#include "workerhost.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

// The one working page: device fields, ΔE parameters, counters, the colour-difference panel
// and the measurement table.
class FirstPageForTesk : public QWidget
{
    Q_OBJECT
public:
    explicit FirstPageForTesk(QWidget *parent = nullptr);
    ~FirstPageForTesk() override;

    virtual void retranslatePage();
    virtual void retranslateHeader();

    // Reads device information and the ΔE parameters after the link has opened.
    void readInstrumentSettings();

    bool isChinese = false;

public slots:
    void clear();
    void openThreadSlot();
    void closeThreadSlot();
    void SaveData(const QByteArray &baData);

private:
    // Starts and stops the polling worker; its mutex is the link lock.
    WorkerHost workers;
};
