#include "bench/BoardProcess.h"

#include "sim/SimulatedBoard.h"

#include <QByteArrayList>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
// The child's requests, one line each; every request gets one line back.
constexpr char kSetType[] = "type ";
constexpr char kStartSilent[] = "silent ";
constexpr char kStartPaced[] = "paced ";
constexpr char kReset[] = "reset";
constexpr char kClear[] = "clear";
constexpr char kRead[] = "read";

QByteArray ReadLine(int fd)
{
    QByteArray line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

void WriteLine(int fd, const QByteArray &line)
{
    const QByteArray bytes = line + '\n';
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

// The child: serves the board until the parent closes its pipe.
[[noreturn]] void ServeBoard(int in, int out)
{
    CSimulatedBoard board(BoardType::LumivorV1);
    board.SetPacing(true);
    if (!board.Start()) {
        WriteLine(out, QByteArray());
        _exit(1);
    }
    WriteLine(out, board.PortName().toUtf8());
    std::vector<std::unique_ptr<CSimulatedBoard>> silent;
    std::vector<std::unique_ptr<CSimulatedBoard>> paced;
    // Starts the number of boards the request asks for, and answers with their ports.
    const auto start = [out](const QByteArray &count,
                             std::vector<std::unique_ptr<CSimulatedBoard>> *boards, bool answers) {
        QByteArrayList names;
        for (int i = count.toInt(); i > 0; --i) {
            boards->push_back(std::make_unique<CSimulatedBoard>(BoardType::LumivorV1));
            if (answers)
                boards->back()->SetPacing(true);
            else
                boards->back()->SetFault(CSimulatedBoard::Fault::Silent);
            if (boards->back()->Start())
                names << boards->back()->PortName().toUtf8();
        }
        WriteLine(out, names.join(' '));
    };
    for (;;) {
        const QByteArray request = ReadLine(in);
        if (request.startsWith(kStartSilent)) {
            start(request.mid(int(sizeof(kStartSilent)) - 1), &silent, false);
        } else if (request.startsWith(kStartPaced)) {
            start(request.mid(int(sizeof(kStartPaced)) - 1), &paced, true);
        } else if (request == kReset) {
            board.SetProgramme(CSimulatedBoard::DefaultProgramme());
            for (const auto &other : paced)
                other->SetProgramme(CSimulatedBoard::DefaultProgramme());
            WriteLine(out, "ok");
        } else if (request.startsWith(kSetType)) {
            board.SetType(request.mid(int(sizeof(kSetType)) - 1).toInt());
            WriteLine(out, "ok");
        } else if (request == kClear) {
            board.ClearReceived();
            WriteLine(out, "ok");
        } else if (request == kRead) {
            // The sent-byte count first, then the commands, hex-encoded, on one line.
            QByteArray answer = QByteArray::number(board.SentBytes());
            for (const CSimulatedBoard::ReceivedLine &line : board.Received())
                answer += ' ' + line.bytes.toHex();
            WriteLine(out, answer);
        } else {
            _exit(0); // the parent has gone
        }
    }
}
} // namespace

bool CBoardProcess::Start()
{
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0)
        return false;
    m_child = ::fork();
    if (m_child < 0)
        return false;
    if (m_child == 0) {
        ::close(down[1]);
        ::close(up[0]);
        ServeBoard(down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    m_toChild = down[1];
    m_fromChild = up[0];
    m_portName = QString::fromUtf8(ReadLine(m_fromChild));
    return !m_portName.isEmpty();
}

CBoardProcess::~CBoardProcess()
{
    if (m_toChild >= 0)
        ::close(m_toChild);
    if (m_fromChild >= 0)
        ::close(m_fromChild);
    if (m_child > 0)
        ::waitpid(m_child, nullptr, 0);
}

QByteArray CBoardProcess::Ask(const QByteArray &request)
{
    WriteLine(m_toChild, request);
    return ReadLine(m_fromChild);
}

QStringList CBoardProcess::StartBoards(const char *request, int count)
{
    return QString::fromUtf8(Ask(request + QByteArray::number(count)))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList CBoardProcess::StartSilentBoards(int count)
{
    return StartBoards(kStartSilent, count);
}

QStringList CBoardProcess::StartPacedBoards(int count)
{
    return StartBoards(kStartPaced, count);
}

void CBoardProcess::ResetProgrammes()
{
    Ask(kReset);
}

void CBoardProcess::SetType(int type)
{
    Ask(kSetType + QByteArray::number(type));
}

void CBoardProcess::Clear()
{
    Ask(kClear);
}

CBoardProcess::Traffic CBoardProcess::Read()
{
    const QList<QByteArray> parts = Ask(kRead).split(' ');
    Traffic traffic;
    traffic.sentBytes = parts.value(0).toLongLong();
    for (int i = 1; i < parts.size(); ++i)
        traffic.commands << QByteArray::fromHex(parts[i]);
    return traffic;
}
