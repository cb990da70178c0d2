#include "db/Statement.h"

#include "common/Win1252.h"
#include "db/Handles.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace Firebird;

namespace uc::db::statement {

namespace {

enum class Kind { Text, Varying, Timestamp, Date, Time, TextBlob, BinaryBlob };

struct Column {
    Kind kind;
    unsigned offset;
    unsigned nullOffset;
    unsigned length;
};

// Room for any number, boolean or other scalar the server turns into text.
constexpr unsigned kScalarTextLength = 64;
// Characters of a date, a time and a timestamp as this layer writes them.
constexpr int kDateTextLength = 10;
constexpr int kTimeTextLength = 8;
constexpr int kTimestampTextLength = 19;

void appendTwo(char*& p, unsigned v) {
    *p++ = char('0' + (v / 10) % 10);
    *p++ = char('0' + v % 10);
}

void writeDate(const ClientLibrary& lib, ISC_DATE date, char*& p) {
    unsigned y = 0, m = 0, d = 0;
    lib.util()->decodeDate(date, &y, &m, &d);
    appendTwo(p, d);
    *p++ = '/';
    appendTwo(p, m);
    *p++ = '/';
    appendTwo(p, y / 100);
    appendTwo(p, y % 100);
}

void writeTime(const ClientLibrary& lib, ISC_TIME time, char*& p) {
    unsigned h = 0, m = 0, s = 0, fractions = 0;
    lib.util()->decodeTime(time, &h, &m, &s, &fractions);
    appendTwo(p, h);
    *p++ = ':';
    appendTwo(p, m);
    *p++ = ':';
    appendTwo(p, s);
}

QString readBlob(const ClientLibrary& lib, IAttachment* attachment, ITransaction* transaction, ISC_QUAD id, bool text) {
    Status status(lib);
    BlobHandle blob(&lib, attachment->openBlob(&status, transaction, &id, 0, nullptr));
    QByteArray bytes;
    char segment[32768];
    for (;;) {
        unsigned got = 0;
        const int result = blob->getSegment(&status, sizeof segment, segment, &got);
        if (result == IStatus::RESULT_NO_DATA)
            break;
        bytes.append(segment, qsizetype(got));
    }
    blob.close();
    return text ? win1252::decode(bytes) : QString::fromLatin1(bytes.toHex().toUpper());
}

// Asks the server for every column as text, except those this layer formats itself. Also gives
// each column's declared length in characters: a text column's in the connection's single-byte
// character set, a date's, time's or timestamp's text form; 0 for the others.
Released<IMessageMetadata> outputFormat(const ClientLibrary& lib, IMessageMetadata* described,
                                        std::vector<Column>* columns, QStringList* names,
                                        std::vector<int>* declaredLengths) {
    Status status(lib);
    const unsigned count = described->getCount(&status);
    Released<IMetadataBuilder> builder(&lib, described->getBuilder(&status));
    std::vector<Kind> kinds;
    kinds.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned type = described->getType(&status, i) & ~1u;
        const int subType = described->getSubType(&status, i);
        const unsigned length = described->getLength(&status, i);
        const char* alias = described->getAlias(&status, i);
        names->append(win1252::decode(alias, std::strlen(alias)));
        Kind kind = Kind::Varying;
        int declared = 0;
        switch (type) {
        case SQL_TEXT:
            kind = Kind::Text;
            declared = int(length);
            break;
        case SQL_VARYING:
            kind = Kind::Varying;
            declared = int(length);
            break;
        case SQL_TIMESTAMP:
            kind = Kind::Timestamp;
            declared = kTimestampTextLength;
            break;
        case SQL_TYPE_DATE:
            kind = Kind::Date;
            declared = kDateTextLength;
            break;
        case SQL_TYPE_TIME:
            kind = Kind::Time;
            declared = kTimeTextLength;
            break;
        case SQL_BLOB:
            kind = subType == isc_blob_text ? Kind::TextBlob : Kind::BinaryBlob;
            break;
        default:
            // Numbers keep their scale ("12.50") when the server writes them as text.
            builder->setType(&status, i, SQL_VARYING + 1);
            builder->setScale(&status, i, 0);
            builder->setCharSet(&status, i, 0 /* NONE: digits only */);
            builder->setLength(&status, i, std::max(length, kScalarTextLength));
            break;
        }
        kinds.push_back(kind);
        declaredLengths->push_back(declared);
    }
    Released<IMessageMetadata> format(&lib, builder->getMetadata(&status));
    columns->reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        Column c{kinds[i], format->getOffset(&status, i), format->getNullOffset(&status, i),
                 format->getLength(&status, i)};
        columns->push_back(c);
    }
    return format;
}

} // namespace

RowSet select(const ClientLibrary& lib, IAttachment* attachment, ITransaction* transaction, const QByteArray& sql,
              unsigned dialect) {
    Status status(lib);
    StatementHandle statement(&lib, attachment->prepare(&status, transaction, unsigned(sql.size()), sql.constData(),
                                                        dialect, IStatement::PREPARE_PREFETCH_METADATA));
    const unsigned type = statement->getType(&status);
    // Opening a cursor on anything else fails with an obscure "request synchronization error".
    if (type != isc_info_sql_stmt_select && type != isc_info_sql_stmt_select_for_upd)
        throw Error(QStringLiteral("O comando não é uma consulta: não devolve linhas."));
    Released<IMessageMetadata> described(&lib, statement->getOutputMetadata(&status));

    std::vector<Column> columns;
    QStringList names;
    std::vector<int> declaredLengths;
    Released<IMessageMetadata> format = outputFormat(lib, described.get(), &columns, &names, &declaredLengths);
    const unsigned messageLength = format->getMessageLength(&status);

    ResultSetHandle cursor(&lib, statement->openCursor(&status, transaction, nullptr, nullptr, format.get(), 0));

    RowSet rows(names, std::move(declaredLengths));
    std::vector<unsigned char> buffer(messageLength);
    unsigned char* const message = buffer.data();
    char text[32]; // a formatted date, time or timestamp
    for (;;) {
        const int result = cursor->fetchNext(&status, message);
        if (result == IStatus::RESULT_NO_DATA)
            break;
        for (const Column& c : columns) {
            if (*reinterpret_cast<const short*>(message + c.nullOffset) == -1) {
                rows.appendNull();
                continue;
            }
            const unsigned char* field = message + c.offset;
            switch (c.kind) {
            case Kind::Text:
                rows.append(win1252::decode(reinterpret_cast<const char*>(field), c.length));
                break;
            case Kind::Varying: {
                ISC_USHORT length;
                std::memcpy(&length, field, sizeof length);
                rows.append(win1252::decode(reinterpret_cast<const char*>(field) + sizeof length, length));
                break;
            }
            case Kind::Timestamp: {
                ISC_TIMESTAMP ts;
                std::memcpy(&ts, field, sizeof ts);
                char* p = text;
                writeDate(lib, ts.timestamp_date, p);
                *p++ = ' ';
                writeTime(lib, ts.timestamp_time, p);
                rows.append(QString::fromLatin1(text, p - text));
                break;
            }
            case Kind::Date: {
                ISC_DATE d;
                std::memcpy(&d, field, sizeof d);
                char* p = text;
                writeDate(lib, d, p);
                rows.append(QString::fromLatin1(text, p - text));
                break;
            }
            case Kind::Time: {
                ISC_TIME t;
                std::memcpy(&t, field, sizeof t);
                char* p = text;
                writeTime(lib, t, p);
                rows.append(QString::fromLatin1(text, p - text));
                break;
            }
            case Kind::TextBlob:
            case Kind::BinaryBlob: {
                ISC_QUAD id;
                std::memcpy(&id, field, sizeof id);
                rows.append(readBlob(lib, attachment, transaction, id, c.kind == Kind::TextBlob));
                break;
            }
            }
        }
    }
    cursor.close();
    statement.free();
    return rows;
}

void execute(const ClientLibrary& lib, IAttachment* attachment, ITransaction* transaction, const QByteArray& sql,
             unsigned dialect) {
    Status status(lib);
    attachment->execute(&status, transaction, unsigned(sql.size()), sql.constData(), dialect, nullptr, nullptr, nullptr,
                        nullptr);
}

} // namespace uc::db::statement
