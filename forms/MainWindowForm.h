#pragma once

#include "forms/SessionPagesForm.h"

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTimeEdit;
class QToolBar;
class QWidget;

// The widget tree of the main window: every widget, layout and action under its object name,
// with its texts, items and initial state. It has no behaviour and makes no connections; the
// window and the page controllers do. Every widget is a child of the window, so the form owns
// nothing and its pointers stay valid as long as the window lives. The photo-session pages are
// built by CSessionPagesForm, the administrator pages by CAdminPagesForm.
class MainWindowForm
{
public:
    // Photo-session pages, and outputs (sub-pages) on each: the counts of the pages' builder.
    static constexpr int kSessionCount = CSessionPagesForm::kPageCount;
    static constexpr int kOutputCount = CSessionPagesForm::kOutputCount;
    // The administrator pages stand at tab indices 5 to 8 while they are shown.
    static constexpr int kFirstAdminTab = 5;
    static constexpr int kAdminTabCount = 4;
    static constexpr int kLastAdminTab = kFirstAdminTab + kAdminTabCount - 1;
    // Characters the user may type as a session's number of photos.
    static constexpr int kRepeatMaxLength = 3;

    // The widgets of one photo-session page. Each carries the page number S (1 to 4) in its
    // object name: "noaction_S" and the like, "pbGetSettingS" and "pbSetSettingS" without the
    // underscore, and "outnumberK_S" ... "outintervalK_S" for output K (1 to 6).
    struct SessionPage
    {
        QRadioButton *noaction = nullptr;
        QRadioButton *trigtime = nullptr;
        QTimeEdit *time = nullptr;
        QTimeEdit *interval = nullptr;
        QLineEdit *repeat = nullptr;
        QRadioButton *trigin1 = nullptr;
        QComboBox *detect1 = nullptr;
        QRadioButton *trigin2 = nullptr;
        QComboBox *detect2 = nullptr;
        QPushButton *pbGetSetting = nullptr;
        QPushButton *pbSetSetting = nullptr;
        QLabel *ltimepower1 = nullptr;
        QLineEdit *timepower1 = nullptr;
        QLabel *ltimepower2 = nullptr;
        QLineEdit *timepower2 = nullptr;
        QTabWidget *tabWidget1 = nullptr;
        // Sub-page K-1 of tabWidget1 ("outK") and the four fields on it.
        std::array<QWidget *, kOutputCount> outputPages{};
        std::array<QLineEdit *, kOutputCount> outnumber{};
        std::array<QLineEdit *, kOutputCount> outdelay{};
        std::array<QLineEdit *, kOutputCount> outduration{};
        std::array<QLineEdit *, kOutputCount> outinterval{};
    };

    // Builds the whole tree on the window, sets its texts and leaves "Photo Session 1" current.
    void Build(QMainWindow *window);
    // Sets every user-visible text and refills every combo box, which then shows its first item.
    void ApplyTexts(QMainWindow *window);

    QAction *actionVersion = nullptr;
    QAction *actionStandard = nullptr;
    QAction *actionAdmin = nullptr;
    QAction *actionOpenProgramme = nullptr;
    QAction *actionOpenBackup = nullptr;
    QAction *actionSaveProgramme = nullptr;
    QAction *actionQuit = nullptr;
    QWidget *centralWidget = nullptr;
    QTabWidget *tabWidget = nullptr;

    // General page.
    QWidget *tab = nullptr;
    QGridLayout *gridLayout = nullptr;
    QLabel *label_27 = nullptr;
    QTimeEdit *eTime = nullptr;
    QLabel *label_28 = nullptr;
    QDateEdit *eDate = nullptr;
    QPushButton *pbSetDateTime = nullptr;
    QPushButton *pbGetDateTime = nullptr;
    QCheckBox *cDateTimeAutomatic = nullptr;
    QPushButton *pbSetConfiguration = nullptr;

    // Photo-session pages 1 to 4 (tab indices 1 to 4).
    QWidget *tab_2 = nullptr;
    QWidget *tab_3 = nullptr;
    QWidget *tab_4 = nullptr;
    QWidget *tab_5 = nullptr;
    std::array<SessionPage, kSessionCount> sessions{};

    // Input page.
    QWidget *tab_6 = nullptr;
    QLabel *label_52 = nullptr;
    QLabel *label_53 = nullptr;
    QLineEdit *edit_inputL1 = nullptr;
    QLabel *label_54 = nullptr;
    QLineEdit *edit_inputL2 = nullptr;
    QPushButton *pbGetDigital = nullptr;
    QLabel *label_24 = nullptr;
    QLabel *label_19 = nullptr;
    QLineEdit *edit_vin = nullptr;
    QLabel *label_23 = nullptr;
    QLineEdit *edit_temperature = nullptr;
    QPushButton *pbGetAnalog = nullptr;
    QLabel *label_20 = nullptr;
    QLineEdit *edit_inputA1 = nullptr;
    QLabel *label_21 = nullptr;
    QLineEdit *edit_inputA2 = nullptr;

    // Output page.
    QWidget *tab_7 = nullptr;
    QLabel *label_46 = nullptr;
    QLabel *label_47 = nullptr;
    QLabel *label_48 = nullptr;
    QLabel *label_49 = nullptr;
    QLabel *label_50 = nullptr;
    QLabel *label_51 = nullptr;
    QComboBox *cbOutput1 = nullptr;
    QComboBox *cbOutput2 = nullptr;
    QComboBox *cbOutput3 = nullptr;
    QComboBox *cbOutput4 = nullptr;
    QComboBox *cbOutput5 = nullptr;
    QComboBox *cbOutput6 = nullptr;
    QPushButton *pbSetOutput = nullptr;
    QPushButton *pbGetOutput = nullptr;

    // Power page.
    QWidget *tab_8 = nullptr;
    QLabel *label_44 = nullptr;
    QComboBox *cbPower1 = nullptr;
    QLabel *label_45 = nullptr;
    QComboBox *cbPower2 = nullptr;
    QPushButton *pbSetPower = nullptr;
    QPushButton *pbGetPower = nullptr;

    // Battery protector page.
    QWidget *tab_9 = nullptr;
    QLabel *label_55 = nullptr;
    QLineEdit *lelowbattery = nullptr;
    QLabel *label_56 = nullptr;
    QLineEdit *lehighbattery = nullptr;
    QPushButton *pbSetBattery = nullptr;
    QPushButton *pbGetBattery = nullptr;

    // The four strips above the tabs.
    QWidget *layoutWidget = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *label_Connected = nullptr;
    QLabel *label = nullptr;
    QLabel *label_2 = nullptr;
    QPushButton *pbConnect = nullptr;
    QWidget *layoutWidget1 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QProgressBar *progressBar = nullptr;
    QWidget *layoutWidget2 = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *label_3 = nullptr;
    QLineEdit *edit_version = nullptr;
    QLabel *label_4 = nullptr;
    QComboBox *cbBoard = nullptr;
    QPushButton *pbfilegeneration = nullptr;
    QWidget *layoutWidget3 = nullptr;
    QHBoxLayout *horizontalLayout_62 = nullptr;
    QLabel *label_5 = nullptr;
    QLineEdit *leConf = nullptr;

    QMenuBar *menuBar = nullptr;
    QMenu *menuFile = nullptr;
    QMenu *menuAdmin = nullptr;
    QMenu *menuHelp = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

private:
    void BuildGeneralPage();
    void BuildStrips();

    CSessionPagesForm m_sessionPages;
};
