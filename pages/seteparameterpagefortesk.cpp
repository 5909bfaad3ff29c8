#include "seteparameterpagefortesk.h"

#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "linkport.h"
#include "modal.h"
#include "ui_seteparameterpagefortesk.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QMutexLocker>

#include <cmath>

setEParameterPageForTesk::setEParameterPageForTesk(QWidget *parent)
    : QDialog(parent), formulaGroup(new QButtonGroup(this)), ui(new Ui::setEParameterPageForTesk)
{
    ui->setupUi(this);
    formulaGroup->setExclusive(true);
    formulaGroup->addButton(ui->formulaBtn_0, 0);
    formulaGroup->addButton(ui->formulaBtn_1, 1);
    formulaGroup->addButton(ui->formulaBtn_2, 2);
    formulaGroup->addButton(ui->formulaBtn_3, 3);
    formulaGroup->addButton(ui->formulaBtn_4, 4);
    formulaGroup->addButton(ui->formulaBtn_5, 5);

    // Open with what the instrument holds, so that changing one of the two does not silently
    // change the other. While the page does not know them: ΔE*ab and an empty threshold.
    if (const auto *page = qobject_cast<const FirstPageForTesk *>(parent)) {
        if (QAbstractButton *current = formulaGroup->button(page->formulaIndex))
            current->setChecked(true);
        if (page->threshold >= 0)
            ui->ThresholdsEdit->setText(QString::number(page->threshold, 'f', 1));
    }
}

setEParameterPageForTesk::~setEParameterPageForTesk()
{
    delete ui;
}

float setEParameterPageForTesk::parseThreshold(const QString &text)
{
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok && std::isfinite(value) ? value : 0.0f;
}

bool setEParameterPageForTesk::thresholdInRange(float value)
{
    // Compared in double against the widened single-precision value: 0.1 and 50 pass, 50.05
    // does not.
    const double v = value;
    return !(v < 0.1 || v > 50);
}

int setEParameterPageForTesk::thresholdTenths(float value)
{
    // A float holds about seven significant digits: round to millionths first, so 2.3 (stored as
    // 2.2999999) counts as 23 tenths, then cut to whole tenths.
    const long long millionths = std::llround(static_cast<double>(value) * 1e6);
    return static_cast<int>(millionths / 100000);
}

void setEParameterPageForTesk::on_Okbtn_clicked()
{
    LinkPort *port = LinkPort::current();
    if (!port || !port->isLinkOpen()) {
        Modal::information(this, tr("Error"), tr("Please connect the device first!"));
        return;
    }
    auto *page = qobject_cast<FirstPageForTesk *>(parentWidget());
    const bool chinese = page && page->isChinese;

    const float value = parseThreshold(ui->ThresholdsEdit->text());
    if (!thresholdInRange(value)) {
        if (chinese)
            Modal::information(this, QStringLiteral("提示"), QStringLiteral("阀值必须介于0.1-50之间!"));
        else
            Modal::information(this, QStringLiteral("information"),
                               QStringLiteral("Thresholds must between 0.1—50!"));
        return;
    }
    const int tenths = thresholdTenths(value);
    const int formula = formulaGroup->checkedId();

    int result = -1;
    if (page && page->worker) {
        QMutexLocker lock(&page->worker->mutex);
        result = CProtocol::instance()->writeDeltaEParameter(formula, tenths);
    } else {
        result = CProtocol::instance()->writeDeltaEParameter(formula, tenths);
    }
    if (result >= 0) {
        accept();
        return;
    }
    if (chinese)
        Modal::information(this, QStringLiteral("错误"), QStringLiteral("写入△E参数信息失败!"));
    else
        Modal::information(this, tr("Error"), tr("Failed to write △E parameter information!"));
}

void setEParameterPageForTesk::on_Cancelbtn_clicked()
{
    reject();
}
