#include "core/linesfile.h"

#include <QStringDecoder>

namespace linesfile {

bool splitWords(const QString &text, QStringList *words, QString *error)
{
    QStringList out;
    QString word;
    bool inWord = false;
    enum class Quote { None, Single, Double } quote = Quote::None;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (quote) {
        case Quote::Single:
            if (c == QLatin1Char('\''))
                quote = Quote::None;
            else
                word += c;
            continue;
        case Quote::Double:
            if (c == QLatin1Char('"')) {
                quote = Quote::None;
            } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                       QStringLiteral("\"\\$`").contains(text[i + 1])) {
                word += text[++i];
            } else {
                word += c;
            }
            continue;
        case Quote::None:
            break;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord)
                out << std::exchange(word, QString());
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('\''))
            quote = Quote::Single;
        else if (c == QLatin1Char('"'))
            quote = Quote::Double;
        else if (c == QLatin1Char('\\') && i + 1 < text.size())
            word += text[++i];
        else if (c != QLatin1Char('\\'))
            word += c;
    }
    if (quote != Quote::None) {
        *error = quote == Quote::Single ? QStringLiteral("a ' is not closed")
                                        : QStringLiteral("a \" is not closed");
        return false;
    }
    if (inWord)
        out << word;
    *words = out;
    return true;
}

bool parse(const QByteArray &bytes, QList<Line> *lines, int *errorLine, QString *error)
{
    *errorLine = 0;
    if (bytes.size() > kMaxBytes) {
        *error = QStringLiteral("larger than %1 bytes: not a lines file").arg(kMaxBytes);
        return false;
    }
    QList<Line> out;
    const QList<QByteArray> raw = bytes.split('\n');
    for (qsizetype n = 0; n < raw.size(); ++n) {
        QByteArray line = raw[n];
        const int number = int(n + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        for (const char b : std::as_const(line))
            if ((uchar(b) < 0x20 && b != '\t') || b == 0x7f) {
                *errorLine = number;
                *error = QStringLiteral("control byte 0x%1: not text")
                             .arg(uchar(b), 2, 16, QLatin1Char('0'));
                return false;
            }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(line);
        if (utf8.hasError()) {
            *errorLine = number;
            *error = QStringLiteral("not UTF-8 text");
            return false;
        }
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        Line l;
        l.number = number;
        if (!splitWords(text, &l.words, error)) {
            *errorLine = number;
            return false;
        }
        out << l;
    }
    *lines = out;
    return true;
}

} // namespace linesfile
