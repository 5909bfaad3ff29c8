#include "demopanel.h"

#include "virtualinstrument.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcDemo, "colorimeter.demo")

DemoPanel::DemoPanel(VirtualInstrument *instrument, QWidget *parent)
    : QWidget(parent, Qt::Tool), instrument(instrument)
{
    setObjectName(QStringLiteral("DemoPanel"));
    setWindowTitle(tr("Virtual instrument"));
    state = new QLabel(this);
    state->setAlignment(Qt::AlignCenter);
    pressBtn = new QPushButton(tr("Press instrument button"), this);
    pressBtn->setObjectName(QStringLiteral("pressInstrumentBtn"));
    unplugBtn = new QPushButton(tr("Unplug"), this);
    unplugBtn->setObjectName(QStringLiteral("unplugBtn"));
    plugBtn = new QPushButton(tr("Plug"), this);
    plugBtn->setObjectName(QStringLiteral("plugBtn"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(state);
    layout->addWidget(pressBtn);
    layout->addWidget(unplugBtn);
    layout->addWidget(plugBtn);

    connect(pressBtn, &QPushButton::clicked, this, &DemoPanel::pressButton);
    connect(unplugBtn, &QPushButton::clicked, this, [this] { setPlugged(false); });
    connect(plugBtn, &QPushButton::clicked, this, [this] { setPlugged(true); });
    // The instrument reports its plugging to the program's device watcher itself (main wires
    // that up); the panel only follows it here.
    connect(instrument, &VirtualInstrument::pluggedIn, this, &DemoPanel::showState);
    connect(instrument, &VirtualInstrument::unplugged, this, &DemoPanel::showState);
    showState();
}

void DemoPanel::pressButton()
{
    qCDebug(lcDemo) << "instrument button pressed";
    instrument->pressButton();
}

void DemoPanel::setPlugged(bool plugged)
{
    qCDebug(lcDemo) << (plugged ? "plug" : "unplug");
    if (plugged)
        instrument->plug();
    else
        instrument->unplug();
    showState();
}

void DemoPanel::showState()
{
    const bool plugged = instrument->isPlugged();
    state->setText(plugged ? tr("Instrument plugged in") : tr("Instrument unplugged"));
    pressBtn->setEnabled(plugged);
    unplugBtn->setEnabled(plugged);
    plugBtn->setEnabled(!plugged);
}
