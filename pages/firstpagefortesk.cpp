#include "firstpagefortesk.h"

FirstPageForTesk::FirstPageForTesk(QWidget *parent) : QWidget(parent)
{
    connect(&workers, &WorkerHost::dataReceived, this, &FirstPageForTesk::SaveData);
}

FirstPageForTesk::~FirstPageForTesk()
{
    closeThreadSlot();
}

void FirstPageForTesk::retranslatePage()
{
    retranslateHeader();
}

void FirstPageForTesk::retranslateHeader() {}

void FirstPageForTesk::readInstrumentSettings() {}

void FirstPageForTesk::clear() {}

void FirstPageForTesk::openThreadSlot()
{
    workers.openThreadSlot();
}

void FirstPageForTesk::closeThreadSlot()
{
    workers.closeThreadSlot();
}

void FirstPageForTesk::SaveData(const QByteArray &baData)
{
    Q_UNUSED(baData);
}
