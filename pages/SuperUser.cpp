#include "pages/SuperUser.h"

#include "device/BoardSettings.h"
#include "forms/MainWindowForm.h"
#include "pages/ActionFeedback.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>

namespace {

// Analog channels as the board numbers them: two inputs, the supply voltage, the temperature.
constexpr int kAnalogInput1 = 1;
constexpr int kAnalogInput2 = 2;
constexpr int kAnalogSupply = 3;
constexpr int kAnalogTemperature = 4;

// The combo boxes of the output and power tabs start with an empty entry, so an index is the
// mode value plus one; the empty entry stands for -1, "nothing chosen".
int ModeOfIndex(const QComboBox *combo)
{
    return combo->currentIndex() - 1;
}

int IndexOfMode(int mode)
{
    return mode + 1;
}

std::array<QComboBox *, kMaxOutputs> OutputCombos(const MainWindowForm *form)
{
    return {form->cbOutput1, form->cbOutput2, form->cbOutput3,
            form->cbOutput4, form->cbOutput5, form->cbOutput6};
}

} // namespace

CSuperUser::CSuperUser(MainWindowForm *form, CBoardSettings *settings, CActionGate *gate,
                       const CBackupStore *backups, QObject *parent)
    : QObject(parent), m_form(form), m_settings(settings), m_gate(gate), m_backups(backups),
      m_owner(parent)
{
}

void CSuperUser::Init()
{
    connect(m_form->pbGetAnalog, &QPushButton::clicked, this, &CSuperUser::GetAnalog);
    connect(m_form->pbGetDigital, &QPushButton::clicked, this, &CSuperUser::GetDigital);
    connect(m_form->pbSetOutput, &QPushButton::clicked, this, &CSuperUser::SetOutput);
    connect(m_form->pbGetOutput, &QPushButton::clicked, this, &CSuperUser::GetOutput);
    connect(m_form->pbSetPower, &QPushButton::clicked, this, &CSuperUser::SetPower);
    connect(m_form->pbGetPower, &QPushButton::clicked, this, &CSuperUser::GetPower);
    connect(m_form->pbSetBattery, &QPushButton::clicked, this, &CSuperUser::SetBattery);
    connect(m_form->pbGetBattery, &QPushButton::clicked, this, &CSuperUser::GetBattery);
}

// Shows each reading as the board sent it, with its unit; a reading that fails empties its field.
void CSuperUser::GetAnalog()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    const QString volts = QStringLiteral("V");
    const QString degreesCelsius = QString::fromUtf8("\xC2\xB0"
                                                     "C");
    const struct
    {
        int channel;
        QLineEdit *field;
        QString unit;
    } readings[] = {
        {kAnalogInput1, m_form->edit_inputA1, volts},
        {kAnalogInput2, m_form->edit_inputA2, volts},
        {kAnalogSupply, m_form->edit_vin, volts},
        {kAnalogTemperature, m_form->edit_temperature, degreesCelsius},
    };
    for (const auto &reading : readings) {
        QString text;
        if (m_settings->GetAnalogInput(reading.channel, &text))
            reading.field->setText(text + reading.unit);
        else
            reading.field->clear();
    }
}

// A digital input reads "OFF" when its text holds a 0 anywhere, else "ON"; empty when it fails.
void CSuperUser::GetDigital()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    QLineEdit *const fields[] = {m_form->edit_inputL1, m_form->edit_inputL2};
    for (int input = 1; input <= 2; ++input) {
        QLineEdit *field = fields[input - 1];
        QString text;
        if (!m_settings->GetDigitalInput(input, &text))
            field->clear();
        else if (text.contains(QLatin1Char('0')))
            field->setText(QStringLiteral("OFF"));
        else
            field->setText(QStringLiteral("ON"));
    }
}

void CSuperUser::SetOutput()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const int lines = m_settings->LinesOf({CAdvCmd::Setting::Output});
    CActionFeedback busy(*action, m_form, m_settings, m_settings->BackedUpWriteLines(lines));
    if (!busy.KeepBackup(*m_backups, lines))
        return;
    const auto combos = OutputCombos(m_form);
    OutputModes modes{};
    for (size_t n = 0; n < modes.size(); ++n)
        modes[n] = ModeOfIndex(combos[n]);
    m_settings->SetOutputModes(modes);
}

void CSuperUser::GetOutput()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    const auto combos = OutputCombos(m_form);
    const OutputModes modes = m_settings->GetOutputModes();
    for (size_t n = 0; n < modes.size(); ++n)
        combos[n]->setCurrentIndex(IndexOfMode(modes[n]));
}

void CSuperUser::SetPower()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const int lines = m_settings->LinesOf({CAdvCmd::Setting::Power});
    CActionFeedback busy(*action, m_form, m_settings, m_settings->BackedUpWriteLines(lines));
    if (!busy.KeepBackup(*m_backups, lines))
        return;
    m_settings->SetPowerModes(ModeOfIndex(m_form->cbPower1), ModeOfIndex(m_form->cbPower2));
}

void CSuperUser::GetPower()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    const PowerModes modes = m_settings->GetPowerModes();
    m_form->cbPower1->setCurrentIndex(IndexOfMode(modes[0]));
    m_form->cbPower2->setCurrentIndex(IndexOfMode(modes[1]));
}

// Thresholds in millivolts; a field that is not a base-10 integer is sent as 0.
void CSuperUser::SetBattery()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const int lines = m_settings->LinesOf({CAdvCmd::Setting::Battery});
    CActionFeedback busy(*action, m_form, m_settings, lines);
    busy.SetLines(lines);
    m_settings->SetBatteryThresholds({m_form->lelowbattery->text().toInt(nullptr, 10),
                                      m_form->lehighbattery->text().toInt(nullptr, 10)});
}

// Asks the board first; without an answer the fields show the pair the model already held.
void CSuperUser::GetBattery()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    const BatteryThresholds pair = m_settings->ReadBatteryThresholds();
    m_form->lelowbattery->setText(QString::number(pair[0], 10));
    m_form->lehighbattery->setText(QString::number(pair[1], 10));
}
