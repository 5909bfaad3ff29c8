#pragma once

#include "historylocation.h"

#include <QDialog>

namespace Ui {
class HistoryLocationDialog;
}

// Where the history lives: this computer only, or also a PostgreSQL server (host, port,
// database, user, service; never a password), and the name of this desk. Shows how the server
// is doing and offers to remove from this computer the rows the server has confirmed.
class HistoryLocationDialog : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryLocationDialog(QWidget *parent = nullptr);
    ~HistoryLocationDialog() override;

    void setLocation(const HistoryLocation &location);
    HistoryLocation location() const;
    // The desk's identity (machine id and login name), shown beside its name.
    void setDeskIdentity(const QString &desk);
    // How the server is doing, in a line; whether rows could be removed from this computer.
    void setServerStatus(const QString &text, bool removalPossible);

signals:
    void removalRequested();

private:
    void showServerFields();

    Ui::HistoryLocationDialog *ui;
};
