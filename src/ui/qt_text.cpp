#include "ui/qt_text.h"

#include "text/cp1252.h"

#include <QFile>

namespace qm {

QString from_cp1252(std::string_view text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        // An undefined byte shows as the control character of its number.
        out.append(QChar(static_cast<char16_t>(cp1252_character(b).value_or(b))));
    }
    return out;
}

std::string to_cp1252(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar ch : text) {
        out.push_back(cp1252_byte(ch.unicode()).value_or('?'));
    }
    return out;
}

QString from_file_name(std::string_view name) {
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::string to_file_name(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

} // namespace qm
