#include "sim/FaultRules.h"

namespace {

constexpr int kOverlongLineBytes = 64 * 1024;
constexpr int kGarbageBytes = 48;
constexpr int kBinaryBytes = 64;
constexpr int kBinaryNulEvery = 8;
// Printable junk that can never spell "OK" or start a data line.
constexpr char kGarbageAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789 .:;-_#*";
constexpr unsigned kNoiseSeed = 0x4c56u;
constexpr int kBabbleCountDigits = 6;

} // namespace

CFaultRules::CFaultRules() : m_noise(kNoiseSeed) {}

void CFaultRules::Add(Fault fault, const QByteArray &commandPrefix, int afterMatches)
{
    m_rules.append({fault, commandPrefix, afterMatches, 0});
    if (fault == Fault::Babble && commandPrefix.isEmpty() && afterMatches <= 0)
        m_babbling = true;
}

void CFaultRules::Clear()
{
    m_rules.clear();
    m_babbling = false;
}

QByteArray CFaultRules::BabbleLine()
{
    if (!m_babbling)
        return {};
    return QByteArray("*babble ") +
           QByteArray::number(++m_babbleCount).rightJustified(kBabbleCountDigits, '0') + " OK\r\n";
}

CFaultRules::Fault CFaultRules::Take(const QByteArray &line)
{
    Fault chosen = Fault::None;
    bool decided = false; // a due None rule shields the command from the rules after it
    for (Rule &rule : m_rules) {
        if (!line.startsWith(rule.prefix))
            continue;
        if (rule.matched < rule.afterMatches) {
            ++rule.matched;
        } else if (!decided) {
            chosen = rule.fault;
            decided = true;
        }
    }
    if (chosen == Fault::Babble)
        m_babbling = true;
    return chosen;
}

QByteArray CFaultRules::Misbehave(Fault fault, const CBoardReply &normal)
{
    switch (fault) {
    case Fault::TooFewFields: {
        CBoardReply r = normal;
        if (!r.lines.isEmpty()) {
            r.lines.last().removeLast();
            if (r.lines.last().isEmpty())
                r.lines.removeLast();
        }
        return r.Bytes();
    }
    case Fault::TooManyFields: {
        CBoardReply r = normal;
        if (!r.lines.isEmpty())
            r.lines.last().append("0");
        return r.Bytes();
    }
    case Fault::NoOk:
        return normal.DataLines();
    case Fault::Garbage: {
        std::uniform_int_distribution<int> pick(0, int(sizeof kGarbageAlphabet) - 2);
        QByteArray junk;
        for (int i = 0; i < kGarbageBytes; ++i)
            junk += kGarbageAlphabet[pick(m_noise)];
        return junk + "\r\n";
    }
    case Fault::Binary: {
        std::uniform_int_distribution<int> byte(0, 255);
        QByteArray noise;
        for (int i = 0; i < kBinaryBytes; ++i)
            noise += char(i % kBinaryNulEvery == 0 ? 0 : byte(m_noise));
        return noise + CBoardReply::kOk;
    }
    case Fault::OverlongLine: {
        QByteArray line =
            normal.header.isEmpty() ? QByteArray(1, CBoardReply::kDataLineStart) : normal.header;
        while (line.size() < kOverlongLineBytes)
            line += "0,";
        return line + '0' + CBoardReply::kDataLineEnd + CBoardReply::kOk;
    }
    default:
        return normal.Bytes();
    }
}
