#pragma once

#include "device/SerialLine.h"

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

// Finds the board among the serial ports: opens every listed port at once, each on a thread of
// its own, and runs the handshake on all of them together. Each port gets the bytes and waits of
// a handshake on its own; only how the probes fall in time differs.
//
// The port taken is the one of highest priority whose handshake got "OK": first the port on which
// this scan found a board last, then the order of the list. The scan decides as soon as that is
// certain: once the port of highest priority still in play has answered, the other ports are
// closed without waiting for their handshakes. An open that takes longer than 1 s is not waited
// for; should it complete later, its port is closed at once, without a byte written, and its
// thread ends by itself (the program may exit before).
class CPortScan
{
public:
    // Why a port of the last scan did not give a board.
    enum class PortFailure
    {
        NoAnswer,         // opened and set up; the handshake got no reply holding "OK"
        PermissionDenied, // this user lacks the rights on the device file
        InUse,            // held by another program (lock file or exclusive open)
        NotSetUp,         // not a terminal, or it refused a line setting
        NotOpened,        // any other failure of the open
        NotOpenedInTime,  // the open did not return within its limit
    };

    struct PortOutcome
    {
        QString name;
        QString path; // the device file
        PortFailure failure;
        QString group;    // the group owning the device file, for a denied port
        bool groupMayUse; // that group may read and write the device file
    };

    // Opens the port, its name already set, for reading and writing. Runs on the port's own
    // thread; the scan's seam for opens that block.
    using Opener = std::function<bool(QSerialPort &port)>;
    // Tells whether this user may read and write the device file at this path.
    using AccessCheck = std::function<bool(const QString &path)>;

    // The board's port, open and set up and owned by the thread that ran the scan, with the name
    // it was listed under; no port when no board answered.
    struct Found
    {
        QString name;
        std::unique_ptr<QSerialPort> port;
    };

    // Where the system keeps the ports' device files.
    static constexpr char kDeviceFolder[] = "/dev/";

    // The serial ports the system lists, in its order.
    static QStringList AvailablePorts();
    // The device file of a port name, as the serial port derives it: a path stays as it is.
    static QString DevicePath(const QString &name);

    // An empty function restores QSerialPort's own open.
    void SetOpener(Opener opener) { m_opener = std::move(opener); }
    // An empty function restores the check of the device file's rights.
    void SetAccessCheck(AccessCheck check) { m_accessCheck = std::move(check); }
    // Asked every slice while the scan has not decided: once it says so, the scan gives up at
    // once, takes no port and reports none.
    void SetStopCheck(CSerialLine::StopCheck check) { m_stopCheck = std::move(check); }

    // Probes the listed ports and returns the board's. The calling thread runs `waitSlice` every
    // slice until the scan has decided; `traffic` then sees the bytes of the board's handshake.
    Found Run(QStringList names, const CSerialLine::WaitSlice &waitSlice,
              const CSerialLine::TrafficObserver &traffic);
    // The ports the last scan tried without finding a board, in the order of priority; none when
    // it found one.
    QVector<PortOutcome> Outcomes() const { return m_outcomes; }

private:
    PortOutcome Outcome(const QString &name, PortFailure failure,
                        QSerialPort::SerialPortError openError) const;

    Opener m_opener;
    AccessCheck m_accessCheck;
    CSerialLine::StopCheck m_stopCheck;
    QString m_lastFound;
    QVector<PortOutcome> m_outcomes;
};
