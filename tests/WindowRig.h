#pragma once

// Helpers for the tests that drive the whole window: their set-up, the window on a simulated
// board, and a timer that answers the questions and the open-file dialog the window asks the user.

#include "app/MainWindow.h"
#include "tests/LinkBench.h"
#include "tests/TestProgramme.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace windowrig {

// The INI file the open-file dialog is answered with, and the programme it holds.
const QString kIniFile = QStringLiteral("programme.ini");
const QByteArray kIniProgramme = "[POWER]\nPower1=2\n";

// What a window test sets up first: no port to scan but its boards', the link's raw replies kept
// out of the log, and the test's own working folder holding the INI file.
inline bool SetUp(const QTemporaryDir &folder)
{
    linkbench::ScanOnly({});
    linkbench::QuietDebugOutput();
    return folder.isValid() && QDir::setCurrent(folder.path()) &&
           testprogramme::WriteFile(kIniFile, kIniProgramme);
}

// The window on a running board of the given type, connected to it and read out.
struct Rig
{
    explicit Rig(int type = BoardType::LumivorV1, linkbench::Fault fault = linkbench::Fault::None)
        : board(type)
    {
        if (fault != linkbench::Fault::None)
            board.SetFault(fault);
        if (board.Start())
            linkbench::ScanOnly({board.PortName()});
        window = std::make_unique<MainWindow>();
    }

    template <typename T> T *Find(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("the window has no %s", qPrintable(name));
        return widget;
    }
    void Click(const QString &button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    void ChooseBoard(int type) const { Find<QComboBox>("cbBoard")->setCurrentIndex(type); }
    QString Status() const { return window->statusBar()->currentMessage(); }

    CSimulatedBoard board;
    std::unique_ptr<MainWindow> window;
};

// While it lives, answers the save question with Yes, every file dialog with this file (by
// default the INI file), relative to the working folder, and the differences shown before a file
// is sent with this button (by default "Send").
class DialogAnswerer : public QObject
{
public:
    explicit DialogAnswerer(const QString &file = kIniFile,
                            const QString &differences = QStringLiteral("pbSend"))
    {
        connect(&m_timer, &QTimer::timeout, this, [this, file, differences] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (!window->isVisible())
                    continue;
                if (window->objectName() == QLatin1String("differencesDialog")) {
                    shown = window->findChild<QPlainTextEdit *>()->toPlainText();
                    window->findChild<QPushButton *>(differences)->click();
                } else if (auto *box = qobject_cast<QMessageBox *>(window)) {
                    box->button(QMessageBox::Yes)->click();
                } else if (auto *dialog = qobject_cast<QFileDialog *>(window)) {
                    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                        ->setText(QDir::current().absoluteFilePath(file));
                    static_cast<QDialog *>(dialog)->accept();
                }
            }
        });
        m_timer.start(kPollMs);
    }

    QString shown; // the differences last shown

private:
    static constexpr int kPollMs = 20;
    QTimer m_timer;
};

} // namespace windowrig
