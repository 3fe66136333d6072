#include "app/DifferencesDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QSize kMinimumSize(480, 320);

QString Tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

CDifferencesDialog::CDifferencesDialog(const QString &file, const QString &port,
                                       const QVector<CProgrammeFile::Difference> &differences,
                                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("differencesDialog"));
    setWindowTitle(Tr("Send Programme"));
    setMinimumSize(kMinimumSize);

    auto *intro =
        new QLabel(Tr("Sending %1 to the board on %2 changes these values:").arg(file, port), this);
    intro->setObjectName(QStringLiteral("labelDifferences"));
    intro->setWordWrap(true);

    QStringList lines;
    for (const CProgrammeFile::Difference &difference : differences)
        lines << difference.Text();
    auto *text = new QPlainTextEdit(lines.join(QLatin1Char('\n')), this);
    text->setObjectName(QStringLiteral("differencesText"));
    text->setReadOnly(true); // still selectable and copyable
    text->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *send = buttons->addButton(Tr("Send"), QDialogButtonBox::AcceptRole);
    send->setObjectName(QStringLiteral("pbSend"));
    QPushButton *cancel = buttons->addButton(Tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("pbCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(text);
    layout->addWidget(buttons);
}
