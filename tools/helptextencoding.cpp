#include "tools/helptextencoding.h"

#include "toolkit/text/cp1251.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace cp1251 {

namespace {

[[noreturn]] void refuse(const char *what, char16_t ch, int line)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(ch));
    throw std::runtime_error(std::string(what) + " " + code + " on line " + std::to_string(line) +
                             " of the help text");
}

} // namespace

char fromUnicode(char16_t ch)
{
    if (ch != 0 && ch < 0x80)
        return static_cast<char>(ch);
    // The program's own table: what it reads back is what this writes. It marks a missing byte with "?".
    const QByteArray byte = tk::encodeCp1251(QString(QChar(ch)));
    return byte.size() == 1 && byte[0] != '?' ? byte[0] : 0;
}

QByteArray encodeText(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() + text.count(u'\n'));
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text.at(i).unicode();
        if (ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue; // a CR LF source gives the same file as an LF one
        if (ch == u'\n') {
            bytes.append("\r\n");
            ++line;
            continue;
        }
        if (ch < 0x20 && ch != u'\t')
            refuse("control character", ch, line);
        if (ch == 0x7F)
            refuse("control character", ch, line);
        const char byte = fromUnicode(ch);
        if (byte == 0)
            refuse("no code page 1251 byte for", ch, line);
        bytes.append(byte);
    }
    return bytes;
}

} // namespace cp1251
