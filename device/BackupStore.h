#pragma once

#include "device/ProgrammeFile.h"

#include <QDateTime>
#include <QString>
#include <functional>

// The programme files of what boards held before they were written, kept in the folder
// "backups" of the application's data location, newest 200.
//
// Keep() changes no member: one store may serve several threads at once, and so may one store
// per thread. Names are taken with an exclusive create, so two boards never share a file.
class CBackupStore
{
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int kKept = 200;

    CBackupStore();

    QString Folder() const { return m_folder; }
    // The local time a backup is named after; the current time unless set. Not while another
    // thread keeps a backup in this store.
    void SetClock(Clock clock);

    // Writes `held`, what the board on `port` held, as a new backup and then deletes all but the
    // newest kKept; writes nothing when the newest backup of that port and family holds the same
    // bytes. *path is the backup that holds them. False when no backup could be written, with
    // *message = "Could not keep a backup of the board's programme in <folder>: <reason>.
    // Nothing was sent." and no file left behind.
    bool Keep(const QString &port, const CProgrammeFile::Contents &held, QString *message,
              QString *path = nullptr) const;

private:
    QString m_folder;
    Clock m_clock;
};
