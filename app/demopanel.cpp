#include "demopanel.h"

#include "virtualinstrument.h"

#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
        // The other language's texts have another width: place the panel again once the
        // layout has taken them in.
        if (besideWindow)
            QTimer::singleShot(0, this, [this] {
                if (besideWindow)
                    placeBeside(besideWindow);
            });
    }
    QWidget::changeEvent(event);
}

void DemoPanel::placeBeside(QWidget *window)
{
    besideWindow = window;
    adjustSize();
    const QScreen *screen = window->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    constexpr int gap = 8;
    // What the window manager adds around each (nothing known before they are shown).
    const QSize panelFrame = frameGeometry().size() - geometry().size();
    const QSize windowFrame = window->frameGeometry().size() - window->geometry().size();
    const int panelWidth = width() + panelFrame.width();

    // The window leaves the panel its room at the right.
    const int roomRight = area.right() - panelWidth - gap;
    if (window->isMaximized() || window->isFullScreen() || window->frameGeometry().right() > roomRight) {
        window->setWindowState(window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        const int left = std::max(area.left(), std::min(window->frameGeometry().left(), roomRight));
        QRect frame(left, area.top(), std::max(1, roomRight - left + 1), area.height());
        window->setGeometry(frame.left() + windowFrame.width() / 2, frame.top() + windowFrame.height() - windowFrame.width() / 2,
                            std::max(1, frame.width() - windowFrame.width()),
                            std::max(1, frame.height() - windowFrame.height()));
    }

    // Beside the window's right edge, top aligned, and never off the screen.
    const QRect windowFrameNow = window->frameGeometry();
    int x = windowFrameNow.right() + 1 + gap;
    int y = windowFrameNow.top();
    x = std::max(area.left(), std::min(x, area.right() + 1 - panelWidth));
    y = std::max(area.top(), std::min(y, area.bottom() + 1 - height() - panelFrame.height()));
    move(x, y);
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
