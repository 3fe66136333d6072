// Fuzzes the split of a query's reply into fields, as the transaction does it: the first byte
// chooses the header length, the rest is the reply as it came off the line.

#include "device/ReplyParser.h"

#include <QByteArray>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int header = int(data[0] % 24) - 2; // the transaction never passes less than 1
    const QByteArray reply(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const QString text = QString::fromUtf8(reply.constData()); // up to the first NUL byte
    QStringList fields;
    const bool complete = CReplyParser::SplitFields(text, header, &fields);

    // A field never holds the CR that ends its line, and a complete line needs a CR.
    for (const QString &field : fields)
        if (field.contains(QLatin1Char('\r')))
            std::abort();
    if (complete && !text.contains(QLatin1Char('\r')))
        std::abort();
    return 0;
}
