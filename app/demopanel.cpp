#include "demopanel.h"

#include "virtualinstrument.h"

#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcDemo, "colorimeter.demo")

DemoPanel::DemoPanel(VirtualInstrument *instrument, QWidget *parent)
    : QWidget(parent, Qt::Tool), instrument(instrument)
{
    setObjectName(QStringLiteral("DemoPanel"));
    state = new QLabel(this);
    state->setAlignment(Qt::AlignCenter);
    pressBtn = new QPushButton(this);
    pressBtn->setObjectName(QStringLiteral("pressInstrumentBtn"));
    unplugBtn = new QPushButton(this);
    unplugBtn->setObjectName(QStringLiteral("unplugBtn"));
    plugBtn = new QPushButton(this);
    plugBtn->setObjectName(QStringLiteral("plugBtn"));
    retranslate();
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

void DemoPanel::retranslate()
{
    setWindowTitle(tr("Virtual instrument"));
    pressBtn->setText(tr("Press instrument button"));
    unplugBtn->setText(tr("Unplug"));
    plugBtn->setText(tr("Plug"));
}

void DemoPanel::changeEvent(QEvent *event)
{
    // The window installs the other language's translator; follow it like the page does.
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        showState();
    }
    QWidget::changeEvent(event);
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
