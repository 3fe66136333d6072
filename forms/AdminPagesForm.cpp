#include "forms/AdminPagesForm.h"

#include "forms/FormParts.h"
#include "forms/MainWindowForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>

using namespace FormParts;

namespace {

// The row of a page's Set and Get buttons, spread out between spacers.
QHBoxLayout *SetGetRow(QPushButton *set, QPushButton *get)
{
    return Row({HSpacer(), set, HSpacer(), get, HSpacer()});
}

} // namespace

void CAdminPagesForm::Build(MainWindowForm &form)
{
    BuildInputPage(form);
    BuildOutputPage(form);
    BuildPowerPage(form);
    BuildBatteryPage(form);
}

void CAdminPagesForm::BuildInputPage(MainWindowForm &form)
{
    CREATE_MEMBER(form, tab_6, nullptr);
    QGridLayout *grid = PageGrid(form.tab_6);
    CREATE_MEMBER(form, label_52, form.tab_6);
    CREATE_MEMBER(form, label_53, form.tab_6);
    CREATE_MEMBER(form, edit_inputL1, form.tab_6);
    CREATE_MEMBER(form, label_54, form.tab_6);
    CREATE_MEMBER(form, edit_inputL2, form.tab_6);
    CREATE_MEMBER(form, pbGetDigital, form.tab_6);
    CREATE_MEMBER(form, label_24, form.tab_6);
    CREATE_MEMBER(form, label_19, form.tab_6);
    CREATE_MEMBER(form, edit_vin, form.tab_6);
    CREATE_MEMBER(form, label_23, form.tab_6);
    CREATE_MEMBER(form, edit_temperature, form.tab_6);
    CREATE_MEMBER(form, pbGetAnalog, form.tab_6);
    CREATE_MEMBER(form, label_20, form.tab_6);
    CREATE_MEMBER(form, edit_inputA1, form.tab_6);
    CREATE_MEMBER(form, label_21, form.tab_6);
    CREATE_MEMBER(form, edit_inputA2, form.tab_6);
    for (QLineEdit *reading : {form.edit_inputL1, form.edit_inputL2, form.edit_vin,
                               form.edit_temperature, form.edit_inputA1, form.edit_inputA2})
        reading->setReadOnly(true);

    grid->addLayout(
        Row({form.label_52, HSpacer(), Row({form.label_53, form.edit_inputL1}),
             Row({HSpacer(), form.label_54, form.edit_inputL2}), HSpacer(), form.pbGetDigital}),
        0, 0);
    grid->addItem(HSpacer(), 0, 1);
    grid->addLayout(Column({Row({form.label_24, Row({HSpacer(), form.label_19, form.edit_vin}),
                                 Row({HSpacer(), form.label_23, form.edit_temperature}), HSpacer(),
                                 HSpacer(), form.pbGetAnalog}),
                            Row({Row({HSpacer(), HSpacer(), form.label_20, form.edit_inputA1}),
                                 Row({HSpacer(), form.label_21, form.edit_inputA2}), HSpacer()})}),
                    1, 0);
    grid->addItem(VSpacer(), 2, 0);

    form.tabWidget->addTab(form.tab_6, QString());
}

void CAdminPagesForm::BuildOutputPage(MainWindowForm &form)
{
    CREATE_MEMBER(form, tab_7, nullptr);
    QGridLayout *grid = PageGrid(form.tab_7);
    const std::array<QLabel **, MainWindowForm::kOutputCount> captions{
        &form.label_46, &form.label_47, &form.label_48,
        &form.label_49, &form.label_50, &form.label_51};
    const std::array<QComboBox **, MainWindowForm::kOutputCount> combos{
        &form.cbOutput1, &form.cbOutput2, &form.cbOutput3,
        &form.cbOutput4, &form.cbOutput5, &form.cbOutput6};
    for (int k = 0; k < MainWindowForm::kOutputCount; ++k) {
        *captions[k] = Make<QLabel>(form.tab_7, QStringLiteral("label_%1").arg(46 + k));
        *combos[k] = Make<QComboBox>(form.tab_7, QStringLiteral("cbOutput%1").arg(k + 1));
        (*combos[k])->setMaximumWidth(130);
        // Outputs 1 to 3 down the left column, 4 to 6 down the right one.
        grid->addLayout(Row({*captions[k], *combos[k], HSpacer()}), k % 3, k / 3);
    }
    grid->addItem(HSpacer(), 0, 2);
    CREATE_MEMBER(form, pbSetOutput, form.tab_7);
    CREATE_MEMBER(form, pbGetOutput, form.tab_7);
    grid->addLayout(SetGetRow(form.pbSetOutput, form.pbGetOutput), 3, 0, 1, 2);
    grid->addItem(VSpacer(), 4, 0);

    form.tabWidget->addTab(form.tab_7, QString());
}

void CAdminPagesForm::BuildPowerPage(MainWindowForm &form)
{
    CREATE_MEMBER(form, tab_8, nullptr);
    QGridLayout *grid = PageGrid(form.tab_8);
    CREATE_MEMBER(form, label_44, form.tab_8);
    CREATE_MEMBER(form, cbPower1, form.tab_8);
    CREATE_MEMBER(form, label_45, form.tab_8);
    CREATE_MEMBER(form, cbPower2, form.tab_8);
    CREATE_MEMBER(form, pbSetPower, form.tab_8);
    CREATE_MEMBER(form, pbGetPower, form.tab_8);
    form.cbPower1->setMaximumWidth(130);
    form.cbPower2->setMaximumWidth(130);

    grid->addLayout(Row({HSpacer(), form.label_44, form.cbPower1}), 0, 0);
    grid->addLayout(Row({HSpacer(), form.label_45, form.cbPower2, HSpacer()}), 0, 1);
    grid->addItem(HSpacer(), 0, 2);
    grid->addLayout(SetGetRow(form.pbSetPower, form.pbGetPower), 1, 0, 1, 2);
    grid->addItem(VSpacer(), 2, 0);

    form.tabWidget->addTab(form.tab_8, QString());
}

void CAdminPagesForm::BuildBatteryPage(MainWindowForm &form)
{
    CREATE_MEMBER(form, tab_9, nullptr);
    QGridLayout *grid = PageGrid(form.tab_9);
    CREATE_MEMBER(form, label_55, form.tab_9);
    CREATE_MEMBER(form, lelowbattery, form.tab_9);
    CREATE_MEMBER(form, label_56, form.tab_9);
    CREATE_MEMBER(form, lehighbattery, form.tab_9);
    CREATE_MEMBER(form, pbSetBattery, form.tab_9);
    CREATE_MEMBER(form, pbGetBattery, form.tab_9);

    grid->addLayout(Row({form.label_55, form.lelowbattery}), 0, 0);
    grid->addLayout(Row({form.label_56, form.lehighbattery}), 0, 1);
    grid->addItem(HSpacer(), 0, 2);
    grid->addLayout(SetGetRow(form.pbSetBattery, form.pbGetBattery), 1, 0, 1, 2);
    grid->addItem(VSpacer(), 2, 0);

    form.tabWidget->addTab(form.tab_9, QString());
}

void CAdminPagesForm::ApplyTexts(MainWindowForm &form)
{
    form.tabWidget->setTabText(form.tabWidget->indexOf(form.tab_6), Text("Input"));
    form.label_52->setText(Text("Digital:"));
    form.label_53->setText(Text("Input 1 :"));
    form.label_54->setText(Text("input 2 : "));
    form.pbGetDigital->setText(Text("GetDigital"));
    form.label_24->setText(Text("Analog: "));
    form.label_19->setText(Text("Vin : "));
    form.label_23->setText(Text("Temperature : "));
    form.pbGetAnalog->setText(Text("GetAnalog"));
    form.label_20->setText(Text("input 1 : "));
    form.label_21->setText(Text("Input 2 : "));

    form.tabWidget->setTabText(form.tabWidget->indexOf(form.tab_7), Text("Output"));
    form.label_46->setText(Text("Output 1 :"));
    form.label_47->setText(Text("Output 2 :"));
    form.label_48->setText(Text("Output 3 :"));
    form.label_49->setText(Text("Output 4 :"));
    form.label_50->setText(Text("Output 5 :"));
    form.label_51->setText(Text("Output 6 :"));
    for (QComboBox *combo : {form.cbOutput1, form.cbOutput2, form.cbOutput3, form.cbOutput4,
                             form.cbOutput5, form.cbOutput6})
        SetItems(combo, {"", "automatic", "to ground", "high impedance",
                         "to ground during wake-up ", "to ground during sleep"});
    form.pbSetOutput->setText(Text("Set_output"));
    form.pbGetOutput->setText(Text("Get_Output"));

    form.tabWidget->setTabText(form.tabWidget->indexOf(form.tab_8), Text("Power"));
    form.label_44->setText(Text("Power 1: "));
    SetItems(form.cbPower1, {"", "Automatic", "Power off", "Power on"});
    form.label_45->setText(Text("Power 2 :"));
    SetItems(form.cbPower2, {"", "Automatic", "Power off", "power on"});
    form.pbSetPower->setText(Text("Set_Power"));
    form.pbGetPower->setText(Text("Get_Power"));

    form.tabWidget->setTabText(form.tabWidget->indexOf(form.tab_9), Text("Battery protector"));
    form.label_55->setText(Text("low voltage (mV): "));
    form.label_56->setText(Text("high voltage (mV) :"));
    form.pbSetBattery->setText(Text("Set_Battery"));
    form.pbGetBattery->setText(Text("Get_Battery"));
}
