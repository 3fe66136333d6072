#pragma once

// Helpers shared by the tests of the device link: a link connected to a simulated board, the
// lines the board received, and a capture of the debug output.

#include "device/AdvCmd.h"
#include "device/BoardSettings.h"
#include "sim/SimulatedBoard.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QMetaType>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

namespace linkbench {

using Fault = CSimulatedBoard::Fault;

// Bound for something that must happen soon; generous, since the machine may be slow and shared.
constexpr int kBoundMs = 5000;

// The link scans these ports only, in this order: never the machine's own serial ports.
inline void ScanOnly(const QStringList &ports)
{
    CAdvCmd::SetDefaultPortDiscovery([ports] { return ports; });
}

// Lines the board received since Start() or ClearReceived(), CR included.
inline QByteArrayList Lines(const CSimulatedBoard &board)
{
    QByteArrayList lines;
    for (const CSimulatedBoard::ReceivedLine &line : board.Received())
        lines << line.bytes;
    return lines;
}

// A port the scan probed but did not take got the handshake, or nothing when the scan had
// decided before its probe wrote.
inline bool HandshakeAtMost(const CSimulatedBoard &board)
{
    const QByteArrayList lines = Lines(board);
    return lines.isEmpty() || lines == QByteArrayList{"ADV#\r"};
}

// Waits, without running the event loop, until `done` holds; false when the bound passed first.
template <typename Predicate> bool WaitUntil(Predicate done, int boundMs = kBoundMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > boundMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Waits until the board has written at least `bytes` bytes since ClearReceived().
inline bool WaitForSent(const CSimulatedBoard &board, qint64 bytes)
{
    return WaitUntil([&] { return board.SentBytes() >= bytes; });
}

// A running simulated board and a link of its own that found it. Connect() leaves the board's
// record of received lines empty, so only what a test sends is in it.
struct Bench
{
    explicit Bench(int type = BoardType::LumivorV2) : board(type) {}

    bool Connect()
    {
        if (!board.Start())
            return false;
        ScanOnly({board.PortName()});
        QString name;
        if (!link.OpenPort(&name) || name != board.PortName())
            return false;
        board.ClearReceived();
        return true;
    }

    CSimulatedBoard board; // declared first: the link closes its port before the board goes
    CAdvCmd link;
};

// A running simulated board and a settings model whose link found it.
struct ModelBench
{
    explicit ModelBench(int type = BoardType::LumivorV2) : board(type) {}

    bool Connect()
    {
        if (!board.Start())
            return false;
        ScanOnly({board.PortName()});
        if (!settings.ConnectBoard() || settings.GetPortName() != board.PortName())
            return false;
        board.ClearReceived();
        return true;
    }

    CSimulatedBoard board;
    CBoardSettings settings;
};

// Keeps the raw replies that the link writes to the debug output out of the test log; every
// other message goes on to the test framework. A LogCapture still sees them all.
inline void QuietDebugOutput()
{
    static QtMessageHandler framework = nullptr;
    framework = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (type != QtDebugMsg && framework)
                framework(type, context, message);
        });
}

// One message of the debug output with its context.
struct LoggedMessage
{
    QtMsgType type;
    QString category;
    QString file;
    QString function;
    QString message;
};

// Collects every message of the debug output while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        QMutexLocker lock(&Mutex());
        Store().clear();
        m_previous = qInstallMessageHandler(&LogCapture::Handler);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QVector<LoggedMessage> Messages() const
    {
        QMutexLocker lock(&Mutex());
        return Store();
    }

    // The messages logged by the function with this signature.
    QVector<LoggedMessage> From(const QString &function) const
    {
        QVector<LoggedMessage> found;
        for (const LoggedMessage &m : Messages()) {
            if (m.function == function)
                found << m;
        }
        return found;
    }

    void Clear()
    {
        QMutexLocker lock(&Mutex());
        Store().clear();
    }

private:
    static void Handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        QMutexLocker lock(&Mutex());
        Store().append({type, QString::fromUtf8(context.category), QString::fromUtf8(context.file),
                        QString::fromUtf8(context.function), message});
    }
    static QVector<LoggedMessage> &Store()
    {
        static QVector<LoggedMessage> messages;
        return messages;
    }
    static QMutex &Mutex()
    {
        static QMutex mutex;
        return mutex;
    }

    QtMessageHandler m_previous = nullptr;
};

// The signature the transaction's raw-reply message carries as its function.
inline QString GetCmdFunction()
{
    return QStringLiteral("bool CAdvCmd::GetCmd(int, QByteArray, QStringList*)");
}

} // namespace linkbench

Q_DECLARE_METATYPE(CSimulatedBoard::Fault)
