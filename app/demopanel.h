#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class VirtualInstrument;

// Demo mode only: a small tool window that stands in for the instrument's own hands. "Press
// instrument button" makes the virtual instrument measure and push the result unasked, as the
// real one does when its button is pressed; "Unplug" and "Plug" pull and insert its cable.
class DemoPanel : public QWidget
{
    Q_OBJECT
public:
    DemoPanel(VirtualInstrument *instrument, QWidget *parent = nullptr);

    // Puts the panel beside the window, both on the window's screen: the panel at the right
    // edge of the screen's free area, the window (un-maximised where needed) left of it. Done
    // again whenever the language changes the panel's size.
    void placeBeside(QWidget *window);

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void pressButton();
    void setPlugged(bool plugged);
    void showState();

    VirtualInstrument *instrument;
    QWidget *besideWindow = nullptr;
    QLabel *state;
    QPushButton *pressBtn;
    QPushButton *unplugBtn;
    QPushButton *plugBtn;
};
