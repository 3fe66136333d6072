#include "sim/PseudoTerminal.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char kCommandEnd = '\r';
// A board's command buffer; a longer run without CR is noise and is dropped.
constexpr int kMaxCommandBytes = 1024;
constexpr int kReadChunk = 512;

// Line pace: 9600 baud, 8N1 = 10 bits a byte.
constexpr qint64 kBaud = 9600;
constexpr qint64 kBitsPerByte = 10;
constexpr qint64 kNanosPerSecond = 1000000000;

// Time for `bytes` bytes on the line, rounded up to whole nanoseconds.
std::chrono::nanoseconds LineTime(qint64 bytes)
{
    return std::chrono::nanoseconds((bytes * kBitsPerByte * kNanosPerSecond + kBaud - 1) / kBaud);
}

// Bytes the line has carried completely after `elapsed`.
qint64 BytesCarried(std::chrono::nanoseconds elapsed)
{
    return elapsed.count() * kBaud / (kBitsPerByte * kNanosPerSecond);
}

} // namespace

CPseudoTerminal::CPseudoTerminal(CBoardFirmware &firmware) : m_firmware(firmware) {}

CPseudoTerminal::~CPseudoTerminal()
{
    m_stop = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool CPseudoTerminal::Start()
{
    if (!PortName().isEmpty())
        return false;

    // Raw from the start: nothing is echoed or translated by the line discipline, even before
    // the tool's QSerialPort sets the port up.
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (::openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0)
        return false;
    char path[128] = {};
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0 || ::ptsname_r(m_master, path, sizeof path) != 0) {
        CloseLine();
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_portName = QString::fromLocal8Bit(path);
    }
    m_startedAt = SteadyClock::now();
    m_lineFreeAt = m_startedAt;
    m_running = true;
    m_thread = std::thread(&CPseudoTerminal::Run, this);
    return true;
}

QString CPseudoTerminal::PortName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_portName;
}

bool CPseudoTerminal::IsRunning() const
{
    return m_running;
}

void CPseudoTerminal::HangUp()
{
    m_hangUpRequested = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
}

QVector<CPseudoTerminal::ReceivedLine> CPseudoTerminal::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void CPseudoTerminal::ClearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_sentBytes = 0;
}

void CPseudoTerminal::Inject(const QByteArray &bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_injected += bytes;
    }
    Wake();
}

qint64 CPseudoTerminal::SentBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sentBytes;
}

void CPseudoTerminal::QueueInjected()
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bytes.swap(m_injected);
    }
    if (!bytes.isEmpty())
        Enqueue(bytes, SteadyClock::now(), m_paced);
}

bool CPseudoTerminal::WaitForReceived(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_receivedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return m_received.size() >= count; });
}

void CPseudoTerminal::Run()
{
    while (!m_stop && !m_hangUpRequested) {
        SteadyClock::time_point nextDue;
        bool waitWritable = false;
        bool timed;
        QueueInjected();
        QueueBabble();
        do {
            timed = WriteDue(&nextDue, &waitWritable);
        } while (!waitWritable && m_out.empty() && QueueBabble());

        pollfd fds[2] = {{m_master, short(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
                         {m_wakeFd, POLLIN, 0}};
        timespec timeout{};
        if (timed) {
            const auto wait = std::max(nextDue - SteadyClock::now(), SteadyClock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = time_t(ns / kNanosPerSecond);
            timeout.tv_nsec = long(ns % kNanosPerSecond);
        }
        if (::ppoll(fds, 2, timed ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            quint64 count;
            if (::read(m_wakeFd, &count, sizeof count) < 0 && errno != EAGAIN)
                break;
        }
        if ((fds[0].revents & POLLIN) && !ReadCommands())
            return; // the board hung up and closed its line
        if (fds[0].revents & POLLNVAL)
            break;
    }
    m_running = false;
}

bool CPseudoTerminal::ReadCommands()
{
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            // The line is dead; the board goes as on a hang-up.
            CloseLine();
            return false;
        }
        if (n <= 0)
            return true;
        m_pending.append(buffer, int(n));
        for (int end = m_pending.indexOf(kCommandEnd); end >= 0;
             end = m_pending.indexOf(kCommandEnd)) {
            const QByteArray line = m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
            if (!Serve(line))
                return false;
        }
        if (m_pending.size() > kMaxCommandBytes)
            m_pending.clear();
    }
}

void CPseudoTerminal::Enqueue(const QByteArray &bytes, SteadyClock::time_point notBefore,
                              bool paced)
{
    SteadyClock::time_point start = notBefore;
    if (paced) {
        // Back to back with what the line still carries: the schedule is absolute, so the
        // pace does not drift however late the thread wakes.
        start = std::max(notBefore, m_lineFreeAt);
        m_lineFreeAt = start + LineTime(bytes.size());
    }
    m_out.push_back({bytes, start, paced, 0});
}

bool CPseudoTerminal::WriteDue(SteadyClock::time_point *nextDue, bool *waitWritable)
{
    const auto now = SteadyClock::now();
    while (!m_out.empty()) {
        Chunk &chunk = m_out.front();
        const int size = chunk.bytes.size();
        int due = 0;
        if (now >= chunk.start)
            due = chunk.paced ? int(std::min<qint64>(size, BytesCarried(now - chunk.start))) : size;
        if (due > chunk.written) {
            const ssize_t n = ::write(m_master, chunk.bytes.constData() + chunk.written,
                                      size_t(due - chunk.written));
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                m_out.clear();
                return false;
            }
            chunk.written += int(std::max<ssize_t>(n, 0));
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_sentBytes += std::max<ssize_t>(n, 0);
            }
            if (chunk.written < due) {
                // The pty is full until the far side reads.
                *waitWritable = true;
                return false;
            }
        }
        if (chunk.written == size) {
            m_out.pop_front();
            continue;
        }
        *nextDue = chunk.paced ? chunk.start + LineTime(chunk.written + 1) : chunk.start;
        return true;
    }
    return false;
}

void CPseudoTerminal::Wake()
{
    if (m_wakeFd < 0)
        return;
    const quint64 one = 1;
    // Fails only when the counter is saturated, and then the thread wakes anyway.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

// The slave side stays open until the board is destroyed: its device node goes with the master,
// but the pseudo-terminal's number cannot be handed to another program's new board while a test
// may still scan the old name.
void CPseudoTerminal::CloseLine()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_out.clear();
    m_running = false;
}

bool CPseudoTerminal::QueueBabble()
{
    // One junk line queued at a time, so the chatter stops soon after the rule is cleared.
    if (!m_out.empty())
        return false;
    const QByteArray line = m_firmware.BabbleLine();
    if (line.isEmpty())
        return false;
    Enqueue(line, SteadyClock::now(), true);
    return true;
}

bool CPseudoTerminal::Serve(const QByteArray &line)
{
    const auto now = SteadyClock::now();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(
            {line,
             std::chrono::duration_cast<std::chrono::milliseconds>(now - m_startedAt).count()});
        m_receivedChanged.notify_all();
    }
    const CBoardFirmware::Response response = m_firmware.Serve(line);
    if (response.hangUp) {
        CloseLine();
        return false;
    }
    if (!response.echo.isEmpty())
        Enqueue(response.echo, now, m_paced);
    if (!response.reply.isEmpty())
        Enqueue(response.reply, now + response.delay, m_paced);
    return true;
}
