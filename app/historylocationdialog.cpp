#include "historylocationdialog.h"

#include "ui_historylocationdialog.h"

HistoryLocationDialog::HistoryLocationDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::HistoryLocationDialog)
{
    ui->setupUi(this);
    connect(ui->serverRadio, &QRadioButton::toggled, this, &HistoryLocationDialog::showServerFields);
    connect(ui->removeButton, &QPushButton::clicked, this, &HistoryLocationDialog::removalRequested);
    ui->removeButton->setEnabled(false);
    showServerFields();
}

HistoryLocationDialog::~HistoryLocationDialog()
{
    delete ui;
}

void HistoryLocationDialog::showServerFields()
{
    ui->serverBox->setEnabled(ui->serverRadio->isChecked());
}

void HistoryLocationDialog::setLocation(const HistoryLocation &location)
{
    ui->serverRadio->setChecked(location.onServer);
    ui->localRadio->setChecked(!location.onServer);
    ui->hostEdit->setText(location.server.host);
    ui->portSpin->setValue(location.server.port);
    ui->databaseEdit->setText(location.server.database);
    ui->userEdit->setText(location.server.user);
    ui->serviceEdit->setText(location.server.service);
    ui->deskNameEdit->setText(location.deskName);
    showServerFields();
}

HistoryLocation HistoryLocationDialog::location() const
{
    HistoryLocation location;
    location.onServer = ui->serverRadio->isChecked();
    location.server.host = ui->hostEdit->text().trimmed();
    location.server.port = ui->portSpin->value();
    location.server.database = ui->databaseEdit->text().trimmed();
    location.server.user = ui->userEdit->text().trimmed();
    location.server.service = ui->serviceEdit->text().trimmed();
    location.deskName = ui->deskNameEdit->text().trimmed();
    return location;
}

void HistoryLocationDialog::setDeskIdentity(const QString &desk)
{
    ui->deskIdLabel->setText(desk);
}

void HistoryLocationDialog::setServerStatus(const QString &text, bool removalPossible)
{
    ui->statusLabel->setText(text);
    ui->removeButton->setEnabled(removalPossible);
}
