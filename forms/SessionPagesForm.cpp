#include "forms/SessionPagesForm.h"

#include "forms/FormParts.h"
#include "forms/MainWindowForm.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

using namespace FormParts;

namespace {

// The few ways in which the four photo-session pages differ.
struct SessionPageLook
{
    const char *title;
    bool ownPalette;
    int currentOutputPage;
    const char *startCaption;
    const char *repeatCaption;
    Qt::Alignment intervalAlignment;
};

const char kStartCaption[] = QT_TRANSLATE_NOOP("MainWindow", "Start time of the session : ");
const char kRepeatCaption[] =
    QT_TRANSLATE_NOOP("MainWindow", "Number of photos during this session :");

const std::array<SessionPageLook, CSessionPagesForm::kPageCount> kSessionLooks{{
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 1"), true, 0, kStartCaption, kRepeatCaption,
     Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 2"), false, 0, kStartCaption,
     QT_TRANSLATE_NOOP("MainWindow", "Number of photos during this session : "), Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 3"), false, 0, kStartCaption, kRepeatCaption,
     Qt::AlignRight},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 4"), false, 5,
     QT_TRANSLATE_NOOP("MainWindow", "Start time of the session :"), kRepeatCaption, Qt::AlignLeft},
}};

// The form's members that hold the pages, in tab order.
const std::array<QWidget * MainWindowForm::*, CSessionPagesForm::kPageCount> kPages{
    &MainWindowForm::tab_2, &MainWindowForm::tab_3, &MainWindowForm::tab_4, &MainWindowForm::tab_5};

// Object-name prefixes and captions of the four fields of an output sub-page, top to bottom.
const std::array<const char *, 4> kOutputFieldPrefixes{"outnumber", "outdelay", "outduration",
                                                       "outinterval"};
const std::array<const char *, 4> kOutputFieldCaptions{
    QT_TRANSLATE_NOOP("MainWindow", "Number :"), QT_TRANSLATE_NOOP("MainWindow", "Delay:"),
    QT_TRANSLATE_NOOP("MainWindow", "Duration:"), QT_TRANSLATE_NOOP("MainWindow", "Interval:")};

const std::array<const char *, CSessionPagesForm::kOutputCount> kOutputPageTitles{
    QT_TRANSLATE_NOOP("MainWindow", "out1"), QT_TRANSLATE_NOOP("MainWindow", "out2"),
    QT_TRANSLATE_NOOP("MainWindow", "out3"), QT_TRANSLATE_NOOP("MainWindow", "out4"),
    QT_TRANSLATE_NOOP("MainWindow", "out5"), QT_TRANSLATE_NOOP("MainWindow", "out6")};

QFrame *Separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel *UnitCaption(QWidget *parent)
{
    auto *caption = new QLabel(parent);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return caption;
}

void SetDetectionItems(QComboBox *combo)
{
    SetItems(combo,
             {"", "occur when the input is grounded", "occur when the input is not grounded"});
}

} // namespace

void CSessionPagesForm::Build(MainWindowForm &form)
{
    for (int index = 0; index < kPageCount; ++index)
        BuildPage(form, index);
}

void CSessionPagesForm::BuildPage(MainWindowForm &form, int index)
{
    const SessionPageLook &look = kSessionLooks[index];
    const QString number = QString::number(index + 1);
    const auto name = [&number](const char *prefix) { return QLatin1String(prefix) + number; };
    MainWindowForm::SessionPage &p = form.sessions[index];
    Captions &c = m_captions[index];

    auto *page = Make<QWidget>(nullptr, QStringLiteral("tab_%1").arg(index + 2));
    if (look.ownPalette)
        page->setPalette(BasePalette(Qt::white));
    QGridLayout *grid = PageGrid(page);

    // Trigger column. The four radio buttons are direct children of the page, which makes
    // them one exclusive group per page.
    p.noaction = Make<QRadioButton>(page, name("noaction_"));
    p.noaction->setChecked(true);
    QFrame *lineTime = Separator(page);
    p.trigtime = Make<QRadioButton>(page, name("trigtime_"));
    c.start = new QLabel(page);
    p.time = Make<QTimeEdit>(page, name("time_"));
    c.startUnit = UnitCaption(page);
    c.interval = new QLabel(page);
    c.interval->setAlignment(look.intervalAlignment | Qt::AlignVCenter);
    p.interval = Make<QTimeEdit>(page, name("interval_"));
    c.intervalUnit = UnitCaption(page);
    c.repeat = new QLabel(page);
    p.repeat = Make<QLineEdit>(page, name("repeat_"));
    p.repeat->setMaximumWidth(70);
    p.repeat->setMaxLength(MainWindowForm::kRepeatMaxLength);
    QFrame *lineInput1 = Separator(page);
    p.trigin1 = Make<QRadioButton>(page, name("trigin1_"));
    c.detect1 = new QLabel(page);
    p.detect1 = Make<QComboBox>(page, name("detect1_"));
    p.detect1->setMaximumWidth(250);
    QFrame *lineInput2 = Separator(page);
    p.trigin2 = Make<QRadioButton>(page, name("trigin2_"));
    c.detect2 = new QLabel(page);
    p.detect2 = Make<QComboBox>(page, name("detect2_"));
    p.detect2->setMaximumWidth(250);
    QFrame *lineButtons = Separator(page);
    p.pbGetSetting = Make<QPushButton>(page, name("pbGetSetting"));
    p.pbSetSetting = Make<QPushButton>(page, name("pbSetSetting"));

    auto *timeBlock = new QGridLayout;
    timeBlock->setSpacing(kSpacing);
    timeBlock->setContentsMargins(0, 0, 0, 0);
    timeBlock->addItem(HSpacer(), 1, 0);
    timeBlock->addLayout(Row({c.start, HSpacer(), p.time, c.startUnit}), 0, 1);
    timeBlock->addLayout(Row({c.interval, HSpacer(), p.interval, c.intervalUnit}), 1, 1);
    timeBlock->addLayout(Row({c.repeat, p.repeat}), 2, 1);

    grid->addLayout(Column({p.noaction, lineTime, p.trigtime, timeBlock, lineInput1,
                            Row({p.trigin1, Row({c.detect1, p.detect1})}), lineInput2,
                            Row({p.trigin2, Row({c.detect2, p.detect2})}), lineButtons,
                            Row({p.pbGetSetting, HSpacer(), p.pbSetSetting})}),
                    0, 0);
    grid->addItem(HSpacer(), 0, 1);

    // Power-and-output column.
    p.ltimepower1 = Make<QLabel>(page, name("ltimepower1_"));
    p.timepower1 = Make<QLineEdit>(page, name("timepower1_"));
    p.ltimepower2 = Make<QLabel>(page, name("ltimepower2_"));
    p.timepower2 = Make<QLineEdit>(page, name("timepower2_"));
    p.tabWidget1 = Make<QTabWidget>(page, name("tabWidget1_"));
    for (int k = 0; k < kOutputCount; ++k) {
        auto *outputPage = new QWidget;
        QGridLayout *outputGrid = PageGrid(outputPage);
        const std::array<QLineEdit **, 4> fields{&p.outnumber[k], &p.outdelay[k], &p.outduration[k],
                                                 &p.outinterval[k]};
        for (int row = 0; row < 4; ++row) {
            QLabel *caption = c.output[k][row] = new QLabel(outputPage);
            QLineEdit *field = *fields[row] =
                Make<QLineEdit>(outputPage, QStringLiteral("%1%2_%3")
                                                .arg(QLatin1String(kOutputFieldPrefixes[row]))
                                                .arg(k + 1)
                                                .arg(number));
            field->setMaximumWidth(100);
            outputGrid->addWidget(caption, row, 0);
            outputGrid->addItem(HSpacer(), row, 1);
            outputGrid->addWidget(field, row, 2);
        }
        outputGrid->addItem(VSpacer(), 4, 0);
        p.tabWidget1->addTab(outputPage, QString());
        p.outputPages[k] = outputPage;
    }
    grid->addLayout(Column({Row({p.ltimepower1, p.timepower1}), Row({p.ltimepower2, p.timepower2}),
                            p.tabWidget1, VSpacer()}),
                    0, 2);
    grid->addItem(HSpacer(), 0, 3);
    grid->addItem(VSpacer(), 1, 0);
    grid->addItem(VSpacer(), 1, 2);

    form.tabWidget->addTab(page, QString());
    form.*kPages[index] = page;
}

void CSessionPagesForm::ApplyTexts(MainWindowForm &form)
{
    for (int index = 0; index < kPageCount; ++index) {
        const SessionPageLook &look = kSessionLooks[index];
        MainWindowForm::SessionPage &p = form.sessions[index];
        Captions &c = m_captions[index];
        form.tabWidget->setTabText(form.tabWidget->indexOf(form.*kPages[index]), Text(look.title));
        p.noaction->setText(Text("no action"));
        p.trigtime->setText(Text("triggerred by time"));
        c.start->setText(Text(look.startCaption));
        c.startUnit->setText(Text("HH:MM"));
        c.interval->setText(Text("Interval between photos :"));
        c.intervalUnit->setText(Text("HH:MM"));
        c.repeat->setText(Text(look.repeatCaption));
        p.trigin1->setToolTip(Text("coucou"));
        p.trigin1->setWhatsThis(QString());
        p.trigin1->setAccessibleDescription(QString());
        p.trigin1->setText(Text("triggerred by input 1"));
        c.detect1->setText(Text("Detection :"));
        SetDetectionItems(p.detect1);
        p.trigin2->setText(Text("triggerred by input 2"));
        c.detect2->setText(Text("Detection :"));
        SetDetectionItems(p.detect2);
        p.pbGetSetting->setText(Text("GetSettings"));
        p.pbSetSetting->setText(Text("SetSettings"));
        p.ltimepower1->setText(Text("Time Power 1:"));
        p.ltimepower2->setText(Text("Time Power 2:"));
        for (int k = 0; k < kOutputCount; ++k) {
            p.tabWidget1->setTabText(p.tabWidget1->indexOf(p.outputPages[k]),
                                     Text(kOutputPageTitles[k]));
            for (int row = 0; row < 4; ++row)
                c.output[k][row]->setText(Text(kOutputFieldCaptions[row]));
        }
    }
}

void CSessionPagesForm::ShowFirstOutputPages(MainWindowForm &form)
{
    for (int index = 0; index < kPageCount; ++index)
        form.sessions[index].tabWidget1->setCurrentIndex(kSessionLooks[index].currentOutputPage);
}
