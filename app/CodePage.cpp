#include "CodePage.h"

#include <iconv.h>

#include <QHash>
#include <array>

namespace {

// Both tables are built once with iconv, byte by byte; after that a conversion is a lookup.
struct Table {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, unsigned char> fromUnicode;

    explicit Table(const char* name) {
        iconv_t cd = iconv_open("UTF-16LE", name);
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char16_t out = u'?';
            char* ip = &in;
            char* op = reinterpret_cast<char*>(&out);
            size_t il = 1, ol = sizeof out;
            if (cd == reinterpret_cast<iconv_t>(-1) || iconv(cd, &ip, &il, &op, &ol) == size_t(-1))
                out = b < 0x80 ? char16_t(b) : u'\uFFFD';  // a byte the code page leaves unused
            toUnicode[b] = out;
            if (!fromUnicode.contains(out)) fromUnicode.insert(out, static_cast<unsigned char>(b));
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

const Table& tableOf(CodePage cp) {
    static const Table latinica("CP1250"), cirilica("CP1251");
    return cp == CodePage::Cirilica ? cirilica : latinica;
}

}  // namespace

QString decodeText(const std::string& bytes, CodePage cp) {
    const Table& t = tableOf(cp);
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    for (size_t i = 0; i < bytes.size(); ++i)
        s[static_cast<qsizetype>(i)] = QChar(t.toUnicode[static_cast<unsigned char>(bytes[i])]);
    return s;
}

std::string encodeText(const QString& text, CodePage cp) {
    const Table& t = tableOf(cp);
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) out += static_cast<char>(t.fromUnicode.value(c.unicode(), '?'));
    return out;
}

std::string latin1Bytes(const QString& text) {
    QByteArray b = text.toLatin1();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}
