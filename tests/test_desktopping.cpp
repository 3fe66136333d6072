#include "device/AdvCmd.h"
#include "tests/LinkBench.h"
#include "tests/WindowRig.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The window answers a desktop's "are you alive?" ping (_NET_WM_PING) on a real X server while it
// writes a whole programme to the board, as a desktop would call it "not responding" otherwise.

using namespace linkbench;
using windowrig::DialogAnswerer;
using windowrig::Rig;
using Clock = std::chrono::steady_clock;

namespace {

// What the INI import writes to a Lumivor V1: the whole programme, its first line from the INI
// file's "Power1=2".
constexpr int kProgrammeLines = 46;
const QByteArray kFirstLine = "ADV#POWER=1,2\r";

constexpr auto kPingInterval = std::chrono::milliseconds(100);
// Desktops call a window "not responding" after about 5 s; the window must answer well before.
constexpr qint64 kAnswerBoundMs = 250;
// Pings the idle window answers before the write-out, so a silent window fails there.
constexpr int kIdlePings = 5;
// Pings that must fall into the write-out of about 9.4 s for the figures to mean something.
constexpr int kFewestPings = 10;

qint64 Ms(Clock::duration duration)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// An X server of the test's own (Xvfb) on a display number it picks itself and reports back.
class VirtualDisplay
{
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;
    ~VirtualDisplay()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }

    // Starts the server and waits until it takes clients; false, with the reason, when it does
    // not come up within `boundMs`.
    bool Start(int boundMs, QByteArray *error)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            *error = "no pipe for the display number";
            return false;
        }
        // Only the write end goes to the server; it writes the display number and a newline.
        fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
        const QByteArray fd = QByteArray::number(pipeFds[1]);
        const char *argv[] = {"Xvfb",        "-displayfd", fd.constData(), "-screen", "0",
                              "1024x768x24", "-nolisten",  "tcp",          nullptr};
        const pid_t test = getpid();
        m_pid = fork();
        if (m_pid == 0) {
            // The server goes with the test, also when a crash or the suite's timeout ends it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != test)
                _exit(1);
            // Its keymap warnings are no part of the test's output.
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execvp(argv[0], const_cast<char *const *>(argv));
            _exit(127);
        }
        close(pipeFds[1]);
        if (m_pid < 0) {
            close(pipeFds[0]);
            *error = "no process for Xvfb";
            return false;
        }
        bool exited = false;
        m_display = ReadDisplay(pipeFds[0], boundMs, &exited);
        close(pipeFds[0]);
        if (exited) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = 0;
            *error =
                "Xvfb (package xvfb) exited with status " + QByteArray::number(WEXITSTATUS(status));
            return false;
        }
        if (m_display.isEmpty()) {
            *error = "Xvfb reported no display within " + QByteArray::number(boundMs) + " ms";
            return false;
        }
        return true;
    }

    // ":N"
    QByteArray Display() const { return m_display; }

private:
    // Empty when the server exits first (*exited) or does not answer in time.
    static QByteArray ReadDisplay(int fd, int boundMs, bool *exited)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(boundMs);
        QByteArray number;
        while (!number.endsWith('\n')) {
            pollfd readable{fd, POLLIN, 0};
            const qint64 left = Ms(deadline - Clock::now());
            if (left <= 0 || poll(&readable, 1, int(left)) <= 0)
                return {};
            char buffer[16];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                *exited = true;
                return {};
            }
            number.append(buffer, int(got));
        }
        return ':' + number.trimmed();
    }

    pid_t m_pid = 0;
    QByteArray m_display;
};

// A desktop's liveness check, as a separate X client: every 100 ms a WM_PROTOCOLS message with
// _NET_WM_PING to the window, whose toolkit sends it back to the root window.
class DesktopPinger
{
public:
    struct Ping
    {
        Clock::time_point sent;
        std::optional<Clock::time_point> answered;
    };

    DesktopPinger() = default;
    DesktopPinger(const DesktopPinger &) = delete;
    DesktopPinger &operator=(const DesktopPinger &) = delete;
    ~DesktopPinger()
    {
        Stop();
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    // Connects to the display DISPLAY names and listens for the answers on its root window.
    bool Connect()
    {
        int screenNumber = 0;
        m_connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return false;
        xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&screen);
        const xcb_window_t root = screen.data->root;
        m_protocols = Atom("WM_PROTOCOLS");
        m_ping = Atom("_NET_WM_PING");
        // The answer goes to the root window, for the clients that watch its structure (as Qt
        // sends it) or its substructure.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        return m_protocols != XCB_ATOM_NONE && m_ping != XCB_ATOM_NONE &&
               !xcb_connection_has_error(m_connection);
    }

    void Start(xcb_window_t window)
    {
        m_thread = std::thread([this, window] { Run(window); });
    }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    std::vector<Ping> Pings() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pings;
    }

    int Answered() const
    {
        const std::vector<Ping> pings = Pings();
        return int(std::count_if(pings.begin(), pings.end(),
                                 [](const Ping &ping) { return bool(ping.answered); }));
    }

    // True once every ping sent before `moment` has come back.
    bool AnsweredUpTo(Clock::time_point moment) const
    {
        const std::vector<Ping> pings = Pings();
        return std::all_of(pings.begin(), pings.end(), [moment](const Ping &ping) {
            return ping.sent > moment || ping.answered;
        });
    }

    bool LostConnection() const { return m_lost; }

private:
    xcb_atom_t Atom(const char *name) const
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }

    void Run(xcb_window_t window)
    {
        Clock::time_point due = Clock::now();
        while (!m_stop) {
            if (Clock::now() >= due) {
                Send(window);
                // A late thread sends the next ping a full interval later, never a burst.
                due = std::max(due + kPingInterval, Clock::now());
            }
            pollfd readable{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&readable, 1, int(std::max<qint64>(0, Ms(due - Clock::now()))));
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                Receive(event, window);
                free(event);
            }
            if (xcb_connection_has_error(m_connection)) {
                m_lost = true;
                return;
            }
        }
    }

    // data[1] is the ping's index, as a desktop puts its own timestamp there.
    void Send(xcb_window_t window)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point sent = Clock::now();
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = m_protocols;
        message.data.data32[0] = m_ping;
        message.data.data32[1] = uint32_t(m_pings.size());
        message.data.data32[2] = window;
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char *>(&message));
        xcb_flush(m_connection);
        m_pings.push_back({sent, std::nullopt});
    }

    void Receive(const xcb_generic_event_t *event, xcb_window_t window)
    {
        // A sent event carries the high bit.
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return;
        const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (message->type != m_protocols || message->data.data32[0] != m_ping ||
            message->data.data32[2] != window)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t index = message->data.data32[1];
        if (index < m_pings.size() && !m_pings[index].answered)
            m_pings[index].answered = Clock::now();
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_ping = XCB_ATOM_NONE;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_lost{false};
    mutable std::mutex m_mutex;
    std::vector<Ping> m_pings;
};

// The pings sent between two moments: how many, the slowest answer, and the unanswered ones.
struct PingFigures
{
    int sent = 0;
    qint64 worstMs = 0;
    QList<int> unanswered;

    PingFigures(const std::vector<DesktopPinger::Ping> &pings, Clock::time_point from,
                Clock::time_point to)
    {
        for (size_t i = 0; i < pings.size(); ++i) {
            const DesktopPinger::Ping &ping = pings[i];
            if (ping.sent < from || ping.sent > to)
                continue;
            ++sent;
            if (ping.answered)
                worstMs = std::max(worstMs, Ms(*ping.answered - ping.sent));
            else
                unanswered << int(i);
        }
    }

    QByteArray Text() const
    {
        QByteArray text = QByteArray::number(sent) + " pings, worst round trip " +
                          QByteArray::number(worstMs) + " ms, " +
                          QByteArray::number(unanswered.size()) + " unanswered";
        if (!unanswered.isEmpty()) {
            QStringList indices;
            for (int index : unanswered)
                indices << QString::number(index);
            text += " (pings " + indices.join(QStringLiteral(", ")).toLatin1() + ')';
        }
        return text;
    }
};

} // namespace

class TestDesktopPing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(windowrig::SetUp(m_folder)); }

    // The INI import writes the whole programme to a board on a 9600-baud line; every ping the
    // desktop sends meanwhile is answered within its bound.
    void answersPingsDuringWriteOut()
    {
        Rig rig(BoardType::LumivorV1);
        QVERIFY(rig.board.IsRunning());
        // Paced from the write-out on; the read-out at start-up may go at full speed.
        rig.board.SetPacing(true);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get(), kBoundMs));

        DesktopPinger pinger;
        QVERIFY2(pinger.Connect(), "the pinger could not connect to the X server");
        const Clock::time_point idleFrom = Clock::now();
        pinger.Start(xcb_window_t(rig.window->winId()));
        // The idle window answers: pings reach it and its answers reach the pinger.
        QTRY_VERIFY_WITH_TIMEOUT(pinger.Answered() >= kIdlePings, kBoundMs);

        rig.board.ClearReceived();
        std::optional<Clock::time_point> firstLine;
        rig.window->Settings().Link().SetLineObserver([&firstLine](const QByteArray &) {
            if (!firstLine)
                firstLine = Clock::now();
        });
        const Clock::time_point clicked = Clock::now();
        {
            DialogAnswerer answerer;
            rig.Click("pbSetConfiguration");
        }
        const Clock::time_point writtenOut = Clock::now();
        rig.window->Settings().Link().SetLineObserver({});
        // Answers held up by a blocked window come in once it runs its event loop again; the
        // figures name those that never do.
        static_cast<void>(
            QTest::qWaitFor([&] { return pinger.AnsweredUpTo(writtenOut); }, kBoundMs));
        pinger.Stop();
        QVERIFY(!pinger.LostConnection());

        const QByteArrayList lines = rig.board.ReceivedLines();
        QCOMPARE(lines.size(), kProgrammeLines);
        QCOMPARE(lines.first(), kFirstLine);
        for (const QByteArray &line : lines)
            QVERIFY2(!line.contains('?'), line.constData()); // settings, no query
        QVERIFY(firstLine);

        qInfo("idle window: %s", PingFigures(pinger.Pings(), idleFrom, clicked).Text().constData());
        const PingFigures figures(pinger.Pings(), *firstLine, writtenOut);
        const QByteArray text = "write-out of " + QByteArray::number(Ms(writtenOut - *firstLine)) +
                                " ms: " + figures.Text();
        qInfo("%s", text.constData());
        QVERIFY2(figures.sent >= kFewestPings, text.constData());
        QVERIFY2(figures.unanswered.isEmpty() && figures.worstMs <= kAnswerBoundMs,
                 text.constData());
    }

private:
    QTemporaryDir m_folder;
};

#ifdef LUMIVOR_ASAN_SUPPRESSIONS
// AddressSanitizer's defaults for this program; what ASAN_OPTIONS sets still wins.
extern "C" const char *__asan_default_options()
{
    return "suppressions=" LUMIVOR_ASAN_SUPPRESSIONS;
}
#endif

// The X server must exist before the application, and the application must use it whatever
// QT_QPA_PLATFORM the suite sets; the server goes only after the application.
int main(int argc, char *argv[])
{
    VirtualDisplay display;
    QByteArray error;
    if (!display.Start(2 * kBoundMs, &error)) {
        std::fprintf(stderr, "FAIL!  : no X server for the test: %s\n", error.constData());
        return 1;
    }
    qputenv("DISPLAY", display.Display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The window paints in software; without GL no Mesa driver is loaded, whose allocations the
    // leak checker of the sanitizer build cannot even name once the driver is unloaded at exit.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    // The widget dialog that DialogAnswerer fills in, even where a desktop theme has its own.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    TestDesktopPing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktopping.moc"
