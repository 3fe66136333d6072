#include "device/ProgrammeFile.h"

#include "device/BoardType.h"
#include "device/IniDuplicates.h"
#include "device/IniImport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const kContext = "MainWindow";
const QString kFamilyKey = QStringLiteral("BOARD/family");
const QString kVersionKey = QStringLiteral("BOARD/version");
const QString kWakeGroup = QStringLiteral("WAKE%1/");
const QString kInputGroup = QStringLiteral("INPUT%1/");
const QString kTimeFormat = QStringLiteral("hh:mm:ss");
constexpr char kLineEnd = '\n';
const QString kKeySeparator = QStringLiteral(", ");
const QString kMoreKeys = QStringLiteral(", \u2026");
constexpr int kNamedDifferences = 5;

// Ranges of the file's values.
constexpr qint32 kAnyLow = std::numeric_limits<qint32>::min();
constexpr qint32 kAnyHigh = std::numeric_limits<qint32>::max();
constexpr qint32 kNoMode = -1; // an output or rail without a chosen mode
constexpr qint32 kHighestOutputMode = 4;
constexpr qint32 kHighestPowerMode = 2;
constexpr qint32 kHighestDetection = 2;
constexpr qint32 kFirstSession = 1; // the file numbers an input's session from 1, the board from 0

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// What a key belongs to: the counts of the file's family tell whether the file uses it.
enum class Item
{
    Session,
    Input,
    Output,
    Rail,
};

using NumberSlot = std::function<qint32 *(BoardProgramme &)>;
using TimeSlot = std::function<QDateTime *(BoardProgramme &)>;

struct Key
{
    QString path;
    Item item;
    int index;  // of the session, input, output or rail, from 0
    qint32 low; // a number's range in the file
    qint32 high;
    qint32 shift;      // the file's number minus the programme's
    NumberSlot number; // empty for a time of day
    TimeSlot time;
};

Key Number(const QString &path, Item item, int index, NumberSlot slot, qint32 low = kAnyLow,
           qint32 high = kAnyHigh, qint32 shift = 0)
{
    return {path, item, index, low, high, shift, std::move(slot), {}};
}

Key Time(const QString &path, int session, TimeSlot slot)
{
    return {path, Item::Session, session, 0, 0, 0, {}, std::move(slot)};
}

// Every programme key in written order, with its range and the value it holds.
QVector<Key> MakeKeys()
{
    QVector<Key> keys;
    for (int s = 0; s < kSessionCount; ++s) {
        const QString group = kWakeGroup.arg(s + 1);
        const size_t j = size_t(s);
        keys << Number(
                    group + QLatin1String("mode"), Item::Session, s,
                    [j](BoardProgramme &p) { return &p.sessions[j].mode; }, kWakeNone, kWakeByInput)
             << Time(group + QLatin1String("start"), s,
                     [j](BoardProgramme &p) { return &p.sessions[j].start; })
             << Time(group + QLatin1String("interval"), s,
                     [j](BoardProgramme &p) { return &p.sessions[j].interval; })
             << Number(group + QLatin1String("number"), Item::Session, s,
                       [j](BoardProgramme &p) { return &p.sessions[j].repeat; });
    }
    for (int i = 0; i < kMaxInputs; ++i) {
        const QString group = kInputGroup.arg(i + 1);
        const size_t n = size_t(i);
        keys << Number(
                    group + QLatin1String("session"), Item::Input, i,
                    [n](BoardProgramme &p) { return &p.inputs[n].session; }, kFirstSession,
                    kSessionCount, kFirstSession)
             << Number(
                    group + QLatin1String("detection"), Item::Input, i,
                    [n](BoardProgramme &p) { return &p.inputs[n].detection; }, 0, kHighestDetection)
             << Number(
                    group + QLatin1String("enabled"), Item::Input, i,
                    [n](BoardProgramme &p) { return &p.inputs[n].enabled; }, 0, 1);
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        keys << Number(
            CIniImport::OutputModeKey(o + 1), Item::Output, o,
            [o](BoardProgramme &p) { return &p.outputModes[size_t(o)]; }, kNoMode,
            kHighestOutputMode);
    }
    for (int r = 0; r < kMaxPowers; ++r) {
        keys << Number(
            CIniImport::PowerModeKey(r + 1), Item::Rail, r,
            [r](BoardProgramme &p) { return &p.powerModes[size_t(r)]; }, kNoMode,
            kHighestPowerMode);
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        for (int s = 0; s < kSessionCount; ++s) {
            for (const CIniImport::TimingKey &timing : CIniImport::kTimingKeys) {
                const auto values = timing.values;
                keys << Number(CIniImport::OutputTimingKey(o + 1, s + 1, timing), Item::Output, o,
                               [o, s, values](BoardProgramme &p) {
                                   return &(p.outputTimings[size_t(s)].*values)[size_t(o)];
                               });
            }
        }
    }
    for (int s = 0; s < kSessionCount; ++s) {
        for (int r = 0; r < kMaxPowers; ++r) {
            keys << Number(
                CIniImport::PowerTimeKey(s + 1, r + 1), Item::Rail, r,
                [s, r](BoardProgramme &p) { return &p.powerTimes[size_t(s)][size_t(r)]; });
        }
    }
    return keys;
}

const QVector<Key> &Keys()
{
    static const QVector<Key> keys = MakeKeys();
    return keys;
}

// The items of the live type of the family; none but the sessions for a text naming no family.
bool Uses(const QString &family, const Key &key)
{
    const BoardType::Capabilities counts = BoardType::CapabilitiesOf(BoardType::LiveType(family));
    switch (key.item) {
    case Item::Session:
        return true;
    case Item::Input:
        return key.index < counts.inputs;
    case Item::Output:
        return key.index < counts.outputs;
    case Item::Rail:
        return key.index < counts.powers;
    }
    return false;
}

// A value as the file writes it; empty for a time that is not a valid time of day. Times in ASCII
// digits whatever the user's locale, as opening the file reads them.
QString Text(const Key &key, const BoardProgramme &programme)
{
    BoardProgramme &readOnly = const_cast<BoardProgramme &>(programme); // the slots only read here
    if (key.time)
        return QLocale::c().toString(*key.time(readOnly), kTimeFormat);
    return QString::number(qint64(*key.number(readOnly)) + key.shift);
}

// Other scripts' digits are no digits of the file.
bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// An optional sign, then digits only: no spaces, fractions, exponents or group separators.
bool IsDecimal(const QString &text)
{
    const int sign = text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')) ? 1 : 0;
    return text.size() > sign && std::all_of(text.cbegin() + sign, text.cend(), IsDigit);
}

// Two digits each, as the file writes them: QDateTime's parser also takes "+7:30:00".
bool IsTimeText(const QString &text)
{
    return text.size() == kTimeFormat.size() &&
           std::equal(text.cbegin(), text.cend(), kTimeFormat.cbegin(),
                      [](QChar c, QChar f) { return f == QLatin1Char(':') ? c == f : IsDigit(c); });
}

// Checks the text of one value and stores it; returns what is wrong with it, or nothing.
QString Load(const Key &key, const QString &text, BoardProgramme *programme)
{
    if (key.time) {
        // Parsed alone, a time of day carries the date the link gives the board's times.
        const QDateTime time = QDateTime::fromString(text, kTimeFormat);
        if (!IsTimeText(text) || !time.isValid())
            return Tr("is not a time of day (HH:MM:SS)");
        *key.time(*programme) = time;
        return QString();
    }
    if (!IsDecimal(text))
        return Tr("is not a whole number");
    bool inRange = false;
    const qint64 value = text.toLongLong(&inRange, 10); // false only beyond 64 bits
    if (!inRange || value < key.low || value > key.high)
        return Tr("is not between %1 and %2")
            .arg(QString::number(key.low), QString::number(key.high));
    *key.number(*programme) = qint32(value - key.shift);
    return QString();
}

QString Problem(const QString &key, const QString &what)
{
    return key + QLatin1Char(' ') + what;
}

// A value's text by its key path; false when the file does not hold the key.
using Lookup = std::function<bool(const QString &path, QString *text)>;

// Reads and checks a programme as opening a file does: the family first, then the keys the
// family uses in written order. Returns the first problem, "<GROUP/key> <what is wrong>",
// leaving *contents alone; or nothing.
QString Read(const Lookup &lookup, const BoardProgramme &base, CProgrammeFile::Contents *contents)
{
    CProgrammeFile::Contents read{QString(), QString(), base};
    if (!lookup(kFamilyKey, &read.family))
        return Problem(kFamilyKey, Tr("is missing"));
    if (BoardType::LiveType(read.family) < 0) {
        return Problem(kFamilyKey, Tr("is not \"%1\", \"%2\", \"%3\" or \"%4\"")
                                       .arg(BoardType::Family(BoardType::LumivorV1),
                                            BoardType::Family(BoardType::LumivorV2),
                                            BoardType::Family(BoardType::Kota),
                                            BoardType::Family(BoardType::Unknown)));
    }
    lookup(kVersionKey, &read.version);
    for (const Key &key : Keys()) {
        if (!Uses(read.family, key))
            continue;
        QString text;
        const QString wrong =
            lookup(key.path, &text) ? Load(key, text, &read.programme) : Tr("is missing");
        if (!wrong.isEmpty())
            return Problem(key.path, wrong);
    }
    *contents = read;
    return QString();
}

// A control character would end the version's line, and an unpaired double quote would make
// the reader take the rest of the file for the version.
QString OneLine(const QString &version)
{
    QString line;
    for (QChar c : version) {
        if (c.category() != QChar::Other_Control && c != QLatin1Char('"'))
            line += c;
    }
    return line;
}

QString Shown(const QString &path, CProgrammeFile::Naming naming)
{
    return naming == CProgrammeFile::Naming::AsGiven ? path : QFileInfo(path).fileName();
}

QString CouldNotRead(const QString &name, const QString &reason)
{
    return Tr("Could not read %1: %2.").arg(name, reason);
}

QString CouldNotSave(const QString &name, const QString &reason)
{
    return Tr("Could not save %1: %2.").arg(name, reason);
}

// The system's reason why a file cannot be made at `path`, or nothing: its folder must exist and
// be writable, and the path must not name a folder or a file this user may not replace.
QString DestinationReason(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    struct stat folderInfo
    {
    };
    int error = 0;
    if (info.isDir())
        error = EISDIR;
    else if (::stat(folder.constData(), &folderInfo) != 0)
        error = errno;
    else if (!S_ISDIR(folderInfo.st_mode))
        error = ENOTDIR;
    else if (::access(folder.constData(), W_OK | X_OK) != 0 ||
             (info.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0))
        error = errno;
    return error == 0 ? QString() : qt_error_string(error);
}

} // namespace

QByteArray CProgrammeFile::Format(const Contents &contents)
{
    QVector<QPair<QString, QString>> entries{{kFamilyKey, contents.family},
                                             {kVersionKey, OneLine(contents.version)}};
    for (const Key &key : Keys())
        entries.append({key.path, Text(key, contents.programme)});
    QByteArray bytes;
    QString group;
    for (const auto &entry : entries) {
        const QString entryGroup = entry.first.section(QLatin1Char('/'), 0, 0);
        if (entryGroup != group) {
            if (!bytes.isEmpty())
                bytes += kLineEnd;
            bytes += '[' + entryGroup.toUtf8() + ']' + kLineEnd;
            group = entryGroup;
        }
        bytes += entry.first.section(QLatin1Char('/'), 1).toUtf8() + '=' + entry.second.toUtf8() +
                 kLineEnd;
    }
    return bytes;
}

bool CProgrammeFile::WriteAll(QIODevice *device, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = device->write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

QStringList CProgrammeFile::Warnings(const Contents &contents)
{
    const QString refused = Tr("%1: %2 is outside what this version knows; opening this file "
                               "will refuse it.");
    QStringList warnings;
    if (BoardType::LiveType(contents.family) < 0)
        warnings << refused.arg(kFamilyKey, contents.family);
    for (const Key &key : Keys()) {
        BoardProgramme loaded;
        const QString text = Text(key, contents.programme);
        if (!Uses(contents.family, key) || Load(key, text, &loaded).isEmpty())
            continue;
        warnings << (key.time ? Tr("%1: the board's time is no time of day and is saved empty; "
                                   "opening this file will refuse it.")
                                    .arg(key.path)
                              : refused.arg(key.path, text));
    }
    return warnings;
}

QString CProgrammeFile::DestinationProblem(const QString &path, Naming naming)
{
    const QString reason = DestinationReason(path);
    return reason.isEmpty() ? QString() : CouldNotSave(Shown(path, naming), reason);
}

bool CProgrammeFile::Save(const QString &path, const Contents &contents, QString *message,
                          Naming naming)
{
    QSaveFile file(path);
    // Unbuffered: a full disk cuts a buffered write short without an error, and the save file
    // then commits the truncated file over the old one.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
        WriteAll(&file, Format(contents)) && file.commit())
        return true;
    *message = CouldNotSave(Shown(path, naming), file.errorString());
    return false;
}

bool CProgrammeFile::Save(QFileDevice *device, const QString &name, const Contents &contents,
                          QString *message)
{
    if (WriteAll(device, Format(contents)))
        return true;
    *message = CouldNotSave(name, device->errorString());
    return false;
}

bool CProgrammeFile::Open(const QString &path, const BoardProgramme &base, Contents *contents,
                          QString *message)
{
    QFile file(path);
    return Open(&file, Shown(path, Naming::BaseName), base, contents, message);
}

bool CProgrammeFile::Open(QFileDevice *device, const QString &name, const BoardProgramme &base,
                          Contents *contents, QString *message)
{
    if (!device->isOpen() && !device->open(QIODevice::ReadOnly)) {
        *message = CouldNotRead(name, device->errorString());
        return false;
    }
    const QByteArray bytes = device->readAll();
    if (device->error() != QFileDevice::NoError) {
        *message = CouldNotRead(name, device->errorString());
        return false;
    }
    // The INI reader caches parsed files by path, and takes a file rewritten within the same
    // millisecond at its old size for the old one: it parses a copy of its own instead.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        *message = CouldNotRead(name, copy.errorString());
        return false;
    }
    QSettings settings(copy.fileName(), QSettings::IniFormat);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    settings.setIniCodec("UTF-8"); // Qt 6 reads INI files as UTF-8 anyway
#endif
    const Lookup stored = [&settings](const QString &key, QString *text) {
        if (!settings.contains(key))
            return false;
        // A value with commas reads as the list of its parts.
        const QVariant value = settings.value(key);
        *text = value.userType() == QMetaType::QStringList
                    ? value.toStringList().join(QLatin1Char(','))
                    : value.toString();
        return true;
    };
    // The reader parses lazily: its status is known only once a key was looked up.
    settings.contains(kFamilyKey);
    const QString twice = CIniDuplicates::First(bytes);
    const QString problem = settings.status() != QSettings::NoError ? Tr("it is not in INI format")
                            : !twice.isEmpty() ? Problem(twice, Tr("appears twice"))
                                               : Read(stored, base, contents);
    if (problem.isEmpty())
        return true;
    *message = Tr("%1 is not a programme file: %2.").arg(name, problem);
    return false;
}

QString CProgrammeFile::FamilyProblem(const QString &path, const Contents &contents, int boardType,
                                      const QString &typeText, Naming naming)
{
    if (contents.family == BoardType::Family(boardType))
        return QString();
    return Tr("%1 holds a %2 programme, not one for %3.")
        .arg(Shown(path, naming), contents.family, typeText);
}

QVector<CProgrammeFile::Difference> CProgrammeFile::Compare(const QString &family,
                                                            const BoardProgramme &board,
                                                            const BoardProgramme &file)
{
    QVector<Difference> differences;
    for (const Key &key : Keys()) {
        if (!Uses(family, key))
            continue;
        const QString onBoard = Text(key, board);
        const QString inFile = Text(key, file);
        if (onBoard != inFile)
            differences.append({key.path, onBoard, inFile});
    }
    return differences;
}

QString CProgrammeFile::Difference::Text() const
{
    return Tr("%1: board %2, file %3").arg(key, board, file);
}

QString CProgrammeFile::CompareMessage(const QString &path, const QVector<Difference> &differences,
                                       Naming naming)
{
    const QString name = Shown(path, naming);
    if (differences.isEmpty())
        return Tr("The board holds %1.").arg(name);
    if (differences.size() == 1)
        return Tr("The board differs from %1 in 1 value: %2.").arg(name, differences.first().key);
    QStringList keys;
    for (const Difference &difference : differences.mid(0, kNamedDifferences))
        keys << difference.key;
    const QString end = differences.size() > kNamedDifferences ? kMoreKeys : QStringLiteral(".");
    return Tr("The board differs from %1 in %2 values: %3")
               .arg(name, QString::number(differences.size()), keys.join(kKeySeparator)) +
           end;
}

QString CProgrammeFile::SavedMessage(const QString &path, Naming naming)
{
    return Tr("Saved the board's programme to %1.").arg(Shown(path, naming));
}

QString CProgrammeFile::NoReadBackMessage(const QString &path, Naming naming)
{
    return Tr("Sent %1, but the board did not answer the read-back.").arg(Shown(path, naming));
}
