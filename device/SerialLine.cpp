#include "device/SerialLine.h"

#include <algorithm>

namespace {

constexpr int kQuietStepMs = 100;    // steps of the wait for a quiet line before writing
constexpr int kBytesWrittenMs = 100; // for a setting line to leave the port
// A device that keeps sending longer than this ends the wait or the collection: it cannot
// hold the tool hostage, and during the port scan it counts as not answering.
constexpr int kCollectLimitMs = 2000;

} // namespace

CSerialLine::CSerialLine(std::unique_ptr<QSerialPort> port) : m_port(std::move(port))
{
    // A pseudo-terminal whose far end closed reports a resource error; a USB adapter pulled out
    // may read an end of file instead, which the port reports as a read error, and its read
    // notifier then fires without end until the port is closed.
    m_errors = QObject::connect(
        m_port.get(), &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError error) {
            if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
                Go();
        });
}

CSerialLine::~CSerialLine()
{
    QObject::disconnect(m_errors);
}

std::unique_ptr<QSerialPort> CSerialLine::Release()
{
    QObject::disconnect(m_errors);
    return std::move(m_port);
}

// Closing from inside the port's own error signal is safe: the port lets go of its notifiers
// later. The close may report an error of its own, which finds the line gone already.
void CSerialLine::Go()
{
    if (m_gone)
        return;
    m_gone = true;
    m_port->close();
    if (m_goneHandler)
        m_goneHandler();
    if (m_goneNotice)
        QMetaObject::invokeMethod(&m_notices, m_goneNotice, Qt::QueuedConnection);
}

bool CSerialLine::Stopped() const
{
    return m_gone || (!m_answering && m_stopCheck && m_stopCheck());
}

// Between two slices the handler runs; the port's notifier may then move arriving bytes into the
// buffer, so the buffer is looked at too.
bool CSerialLine::WaitForData(int ms)
{
    const qint64 before = m_port->bytesAvailable();
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        RunWaitSlice();
        if (Stopped())
            return false;
        if (m_port->bytesAvailable() > before)
            return true;
        const qint64 left = ms - elapsed.elapsed();
        if (left <= 0)
            return false;
        if (m_port->waitForReadyRead(int(std::min<qint64>(left, kSliceMs))))
            return true;
        // A slice without data leaves a timeout; any other error ends the wait. Errors are not
        // cleared before each slice: for bytes that come one at a time, that would cost more
        // than the wait itself.
        const QSerialPort::SerialPortError error = m_port->error();
        if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError)
            return false;
    }
}

// At most once a slice: bytes that trickle in at the line's pace must not make the handler run
// for each of them.
void CSerialLine::RunWaitSlice()
{
    if (!m_waitSlice || (m_sinceSlice.isValid() && m_sinceSlice.elapsed() < kSliceMs))
        return;
    m_waitSlice();
    m_sinceSlice.start();
}

bool CSerialLine::WaitQuiet()
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (WaitForData(kQuietStepMs)) {
        if (elapsed.elapsed() > kCollectLimitMs)
            return false;
    }
    return !Stopped();
}

bool CSerialLine::Collect(int gapMs, QByteArray *reply)
{
    QElapsedTimer elapsed;
    elapsed.start();
    reply->append(ReadAll());
    while (WaitForData(gapMs)) {
        reply->append(ReadAll());
        if (elapsed.elapsed() > kCollectLimitMs)
            return false;
    }
    return !Stopped();
}

bool CSerialLine::Write(const QByteArray &bytes)
{
    if (Stopped())
        return false;
    m_port->write(bytes);
    if (m_trafficObserver)
        m_trafficObserver(Direction::Sent, bytes);
    return true;
}

void CSerialLine::Flush()
{
    if (!m_gone)
        m_port->flush();
}

void CSerialLine::ClearInput()
{
    if (!m_gone)
        m_port->clear(QSerialPort::Input);
}

QByteArray CSerialLine::ReadAll()
{
    if (m_gone)
        return {};
    const QByteArray bytes = m_port->readAll();
    if (m_trafficObserver && !bytes.isEmpty())
        m_trafficObserver(Direction::Received, bytes);
    return bytes;
}

CSerialLine::Outcome CSerialLine::Send(const QByteArray &line)
{
    WaitQuiet();
    // The line leaves in the written-bytes wait; nothing may handle the port's events before it,
    // or its notifier would write the line and the wait would find nothing left to write.
    if (!Write(line))
        return Outcome::NotWritten;
    if (!m_port->waitForBytesWritten(kBytesWrittenMs))
        return m_gone ? Outcome::NotWritten : Outcome::Unanswered;
    m_answering = true;
    const bool answered = WaitForData(kFirstReplyMs);
    QByteArray dropped;
    if (answered)
        Collect(kGapMs, &dropped);
    m_answering = false;
    return answered ? Outcome::Answered : Outcome::Unanswered;
}
