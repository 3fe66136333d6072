#include "pages/Wake.h"

#include "device/BoardSettings.h"
#include "forms/MainWindowForm.h"
#include "pages/ActionFeedback.h"
#include "pages/Curve.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

const char *const kTranslationContext = "MainWindow";

// Titles of the output tabs, output 1 first.
const char *const kOutputTabTitles[kMaxOutputs] = {
    QT_TRANSLATE_NOOP("MainWindow", "out1"), QT_TRANSLATE_NOOP("MainWindow", "out2"),
    QT_TRANSLATE_NOOP("MainWindow", "out3"), QT_TRANSLATE_NOOP("MainWindow", "out4"),
    QT_TRANSLATE_NOOP("MainWindow", "out5"), QT_TRANSLATE_NOOP("MainWindow", "out6"),
};

// Numbers typed into the page: base 10, and 0 for text that is not a number.
int ReadNumber(const QLineEdit *edit, int unbound)
{
    return edit ? edit->text().toInt(nullptr, 10) : unbound;
}

void WriteNumber(QLineEdit *edit, int value)
{
    if (edit)
        edit->setText(QString::number(value, 10));
}

bool IsChecked(const QAbstractButton *button)
{
    return button && button->isChecked();
}

void SetShown(QWidget *widget, bool shown)
{
    if (widget)
        widget->setVisible(shown);
}

// An input record wakes this session when it is enabled and names it.
bool Wakes(const InputTrigger &input, int session)
{
    return input.enabled == 1 && input.session == session;
}

// Selects the detection an input record holds for this session; the empty entry otherwise.
void ShowDetection(QComboBox *combo, const InputTrigger &input, int session)
{
    if (combo)
        combo->setCurrentIndex(input.session == session ? input.detection : 0);
}

void Claim(InputTrigger *input, const QComboBox *detection, int session)
{
    if (detection)
        input->detection = detection->currentIndex();
    input->enabled = 1;
    input->session = session;
}

template <typename Sender, typename Signal, typename Slot>
void ConnectBound(Sender *sender, Signal signal, CWake *page, Slot slot)
{
    if (sender)
        QObject::connect(sender, signal, page, slot);
}

} // namespace

CWake::CWake(int index, MainWindowForm *form, CBoardSettings *settings, CCurve *chart,
             CActionGate *gate, const CBackupStore *backups, QObject *parent)
    : QObject(parent), m_form(form), m_settings(settings), m_chart(chart), m_gate(gate),
      m_backups(backups), m_owner(parent), m_index(index)
{
}

// The one descendant of the owner with this name and kind; none when it is missing or ambiguous.
template <typename T> T *CWake::Bind(const QString &prefix) const
{
    if (!m_owner)
        return nullptr;
    const QList<T *> found = m_owner->findChildren<T *>(prefix + QString::number(m_index + 1));
    return found.size() == 1 ? found.first() : nullptr;
}

template <typename T> T *CWake::BindOutput(const QString &prefix, int output) const
{
    return Bind<T>(prefix + QString::number(output) + QLatin1Char('_'));
}

bool CWake::Init()
{
    m_noaction = Bind<QRadioButton>(QStringLiteral("noaction_"));
    m_trigtime = Bind<QRadioButton>(QStringLiteral("trigtime_"));
    m_trigin1 = Bind<QRadioButton>(QStringLiteral("trigin1_"));
    m_trigin2 = Bind<QRadioButton>(QStringLiteral("trigin2_"));
    m_time = Bind<QTimeEdit>(QStringLiteral("time_"));
    m_interval = Bind<QTimeEdit>(QStringLiteral("interval_"));
    m_repeat = Bind<QLineEdit>(QStringLiteral("repeat_"));
    m_detect1 = Bind<QComboBox>(QStringLiteral("detect1_"));
    m_detect2 = Bind<QComboBox>(QStringLiteral("detect2_"));
    m_pbGetSetting = Bind<QPushButton>(QStringLiteral("pbGetSetting"));
    m_pbSetSetting = Bind<QPushButton>(QStringLiteral("pbSetSetting"));
    m_ltimepower1 = Bind<QLabel>(QStringLiteral("ltimepower1_"));
    m_ltimepower2 = Bind<QLabel>(QStringLiteral("ltimepower2_"));
    m_timepower1 = Bind<QLineEdit>(QStringLiteral("timepower1_"));
    m_timepower2 = Bind<QLineEdit>(QStringLiteral("timepower2_"));
    m_tabWidget1 = Bind<QTabWidget>(QStringLiteral("tabWidget1_"));
    for (int k = 0; k < kMaxOutputs; ++k) {
        const size_t at = size_t(k);
        m_outnumber[at] = BindOutput<QLineEdit>(QStringLiteral("outnumber"), k + 1);
        m_outdelay[at] = BindOutput<QLineEdit>(QStringLiteral("outdelay"), k + 1);
        m_outduration[at] = BindOutput<QLineEdit>(QStringLiteral("outduration"), k + 1);
        m_outinterval[at] = BindOutput<QLineEdit>(QStringLiteral("outinterval"), k + 1);
    }

    if (m_tabWidget1) {
        for (int k = 0; k < kMaxOutputs; ++k)
            m_outputPages[size_t(k)] = m_tabWidget1->widget(k);
    }

    GetStandard();

    for (QRadioButton *button : {m_noaction, m_trigtime, m_trigin1, m_trigin2})
        ConnectBound(button, &QRadioButton::clicked, this, &CWake::OnChange);
    ConnectBound(m_time, &QTimeEdit::timeChanged, this, &CWake::OnChangeTime);
    ConnectBound(m_interval, &QTimeEdit::timeChanged, this, &CWake::OnChangeTime);
    ConnectBound(m_repeat, &QLineEdit::textChanged, this, &CWake::OnChange);
    ConnectBound(m_detect1, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                 &CWake::OnChange);
    ConnectBound(m_detect2, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                 &CWake::OnChange);
    ConnectBound(m_timepower1, &QLineEdit::textChanged, this, &CWake::OnChangeCPower);
    ConnectBound(m_timepower2, &QLineEdit::textChanged, this, &CWake::OnChangeCPower);
    ConnectBound(m_pbGetSetting, &QPushButton::clicked, this, &CWake::GetInfo);
    ConnectBound(m_pbSetSetting, &QPushButton::clicked, this, &CWake::SetInfo);
    for (int k = 0; k < kMaxOutputs; ++k) {
        const size_t at = size_t(k);
        for (QLineEdit *field :
             {m_outnumber[at], m_outdelay[at], m_outduration[at], m_outinterval[at]})
            ConnectBound(field, &QLineEdit::textChanged, this, &CWake::OnChangeCOutput);
    }
    if (m_form)
        ConnectBound(m_form->tabWidget, &QTabWidget::currentChanged, this, &CWake::TabChange);

    m_loading = false;
    return true;
}

void CWake::GetInfo()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    GetWake();
    GetCPower();
    GetCOutput();
}

void CWake::SetInfo()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    using S = CAdvCmd::Setting;
    const int lines = (m_wakeChanged ? m_settings->LinesOf({S::Wake, S::CInput}) : 0) +
                      (m_powerChanged ? m_settings->LinesOf({S::CPower}) : 0) +
                      (m_outputChanged ? m_settings->LinesOf({S::COutput}) : 0);
    CActionFeedback busy(*action, m_form, m_settings, m_settings->BackedUpWriteLines(lines));
    // Without a backup the edits stay unsent.
    if (!busy.KeepBackup(*m_backups, lines))
        return;
    // A group the board's going cut short, or whose turn came after it went, did not go out: it
    // stays unsent.
    const bool wasConnected = m_settings->IsConnected();
    const auto send = [&](bool *changed, void (CWake::*set)()) {
        if (!*changed)
            return;
        (this->*set)();
        if (wasConnected && !m_settings->IsConnected())
            *changed = true;
    };
    send(&m_wakeChanged, &CWake::SetWake);
    send(&m_powerChanged, &CWake::SetCPower);
    send(&m_outputChanged, &CWake::SetCOutput);
    RedrawChart();
}

void CWake::GetWake()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const WakeSession session = m_settings->GetSession(m_index);
    const InputTriggers inputs = m_settings->GetInputTriggers();
    m_loading = true;

    switch (session.mode) {
    case kWakeNone:
        SelectTrigger(m_noaction);
        break;
    case kWakeByTime:
        SelectTrigger(m_trigtime);
        break;
    case kWakeByInput:
        if (Wakes(inputs[0], m_index))
            SelectTrigger(m_trigin1);
        else if (Wakes(inputs[1], m_index))
            SelectTrigger(m_trigin2);
        else
            SelectTrigger(m_noaction);
        break;
    default: // a mode the page does not know leaves the selection alone
        break;
    }

    if (m_time)
        m_time->setTime(session.start.time());
    if (m_interval)
        m_interval->setTime(session.interval.time());
    if (m_repeat) {
        // A count from the board is shown whole, so that a save sends it back unchanged; the
        // user types no more characters than it has, and never fewer than the form allows.
        const QString count = QString::number(session.repeat, 10);
        m_repeat->setMaxLength(std::max(MainWindowForm::kRepeatMaxLength, int(count.size())));
        m_repeat->setText(count);
    }

    if (session.mode == kWakeByInput) {
        ShowDetection(m_detect1, inputs[0], m_index);
        ShowDetection(m_detect2, inputs[1], m_index);
    }

    m_wakeChanged = false;
    m_loading = false;
}

void CWake::SetWake()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    WakeSession session = m_settings->GetSession(m_index);
    InputTriggers inputs = m_settings->GetInputTriggers();
    m_loading = true;
    // An edit made from here on is not in the lines being built, so it stays unsent.
    m_wakeChanged = false;

    if (IsChecked(m_noaction))
        session.mode = kWakeNone;
    else if (IsChecked(m_trigtime))
        session.mode = kWakeByTime;
    else if (IsChecked(m_trigin1) || IsChecked(m_trigin2))
        session.mode = kWakeByInput;

    if (m_time)
        session.start = m_time->dateTime();
    if (m_interval)
        session.interval = m_interval->dateTime();
    session.repeat = ReadNumber(m_repeat, session.repeat);

    // A session claims the input it is triggered by and releases every other input that woke
    // it, so that the board wakes it from the page's choice only. Inputs of other sessions stay
    // as they were.
    const bool byInput = session.mode == kWakeByInput;
    const std::array<bool, kMaxInputs> chosen{byInput && IsChecked(m_trigin1),
                                              byInput && IsChecked(m_trigin2)};
    const std::array<const QComboBox *, kMaxInputs> detection{m_detect1, m_detect2};
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (chosen[i])
            Claim(&inputs[i], detection[i], m_index);
        else if (Wakes(inputs[i], m_index))
            inputs[i].enabled = 0;
    }

    m_settings->SetSession(m_index, session);
    // Every save of the trigger group sends the input records too, changed or not.
    m_settings->SetInputTriggers(inputs);
    m_loading = false;
}

void CWake::GetCPower()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const PowerTimes times = m_settings->GetPowerTimes(m_index);
    WriteNumber(m_timepower1, times[0]);
    WriteNumber(m_timepower2, times[1]);
    m_powerChanged = false;
}

void CWake::SetCPower()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    m_powerChanged = false;
    const PowerTimes stored = m_settings->GetPowerTimes(m_index);
    m_settings->SetPowerTimes(m_index, ReadNumber(m_timepower1, stored[0]),
                              ReadNumber(m_timepower2, stored[1]));
}

void CWake::GetCOutput()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const SessionOutputTimings timings = m_settings->GetOutputTimings(m_index);
    for (size_t k = 0; k < size_t(kMaxOutputs); ++k) {
        WriteNumber(m_outnumber[k], timings.number[k]);
        WriteNumber(m_outdelay[k], timings.delay[k]);
        WriteNumber(m_outduration[k], timings.duration[k]);
        WriteNumber(m_outinterval[k], timings.interval[k]);
    }
    m_outputChanged = false;
}

// All six outputs are read and sent, whether or not their tabs are shown.
void CWake::SetCOutput()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    m_outputChanged = false;
    SessionOutputTimings timings = m_settings->GetOutputTimings(m_index);
    for (size_t k = 0; k < size_t(kMaxOutputs); ++k) {
        timings.number[k] = ReadNumber(m_outnumber[k], timings.number[k]);
        timings.delay[k] = ReadNumber(m_outdelay[k], timings.delay[k]);
        timings.duration[k] = ReadNumber(m_outduration[k], timings.duration[k]);
        timings.interval[k] = ReadNumber(m_outinterval[k], timings.interval[k]);
    }
    m_settings->SetOutputTimings(m_index, timings);
}

void CWake::OnChange()
{
    m_wakeChanged = true;
}

// Editing a time selects "triggerred by time", unless the model is filling the page.
void CWake::OnChangeTime()
{
    if (!m_loading)
        SelectTrigger(m_trigtime);
    m_wakeChanged = true;
}

void CWake::OnChangeCPower()
{
    m_powerChanged = true;
}

void CWake::OnChangeCOutput()
{
    m_outputChanged = true;
}

void CWake::TabChange()
{
    if (!HasUnsentEdits())
        return;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    {
        // No question while another action runs; the edits stay marked for the next change.
        const auto action = m_gate->Start();
        if (!action)
            return;
        QApplication::setOverrideCursor(Qt::PointingHandCursor);
        answer = QMessageBox::question(
            nullptr, QCoreApplication::translate(kTranslationContext, "Change"),
            QCoreApplication::translate(kTranslationContext, "Do you want to save the changes?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
        QApplication::restoreOverrideCursor();
    }
    // An action of its own, which shows its progress unless it joins one that runs.
    if (answer == QMessageBox::Yes)
        SetInfo();
    else
        GetInfo();
}

void CWake::GetStandard()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    for (QWidget *widget : std::initializer_list<QWidget *>{
             m_ltimepower1, m_ltimepower2, m_timepower1, m_timepower2, m_tabWidget1})
        SetShown(widget, false);
}

void CWake::GetAdmin()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    SetShown(m_ltimepower1, true);
    SetShown(m_timepower1, true);
    if (m_settings->GetPowerCount() == kMaxPowers) {
        SetShown(m_ltimepower2, true);
        SetShown(m_timepower2, true);
    }

    const int outputs = m_settings->GetOutputCount();
    if (outputs <= 0 || !m_tabWidget1)
        return;
    m_tabWidget1->show();

    // Put the six kept pages back in output order, then take out those the board lacks.
    for (QWidget *page : m_outputPages) {
        const int at = page ? m_tabWidget1->indexOf(page) : -1;
        if (at >= 0)
            m_tabWidget1->removeTab(at);
    }
    int position = 0;
    for (int k = 0; k < kMaxOutputs; ++k) {
        if (QWidget *page = m_outputPages[size_t(k)])
            m_tabWidget1->insertTab(
                position++, page,
                QCoreApplication::translate(kTranslationContext, kOutputTabTitles[k]));
    }
    for (int k = kMaxOutputs - 1; k >= outputs; --k) {
        const int at = m_tabWidget1->indexOf(m_outputPages[size_t(k)]);
        if (at >= 0)
            m_tabWidget1->removeTab(at);
    }
}

void CWake::InitAff(bool bStandard)
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    GetInfo();
    if (bStandard)
        GetStandard();
    RedrawChart();
}

// Checks one trigger button and unchecks the three others. Buttons of one exclusive group
// cannot be unchecked directly, which matters when the chosen button is unbound.
void CWake::SelectTrigger(QRadioButton *chosen)
{
    if (chosen)
        chosen->setChecked(true);
    for (QRadioButton *button : {m_noaction, m_trigtime, m_trigin1, m_trigin2}) {
        if (!button || button == chosen || !button->isChecked())
            continue;
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(exclusive);
    }
}

void CWake::RedrawChart()
{
    if (!m_chart)
        return;
    m_chart->ComputeTimeline();
    m_chart->repaint();
}
