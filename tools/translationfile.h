#pragma once

#include <QHash>
#include <QString>

// The finished translations of a Qt translation source (.ts) file, so that the pictures that carry words
// are lettered from the same translations as the program's texts.
namespace translationfile {

class Translations {
public:
    // Throws std::runtime_error when the file cannot be read or is not a translation file.
    explicit Translations(const QString &path);

    // The translation of a source text in a context; throws std::runtime_error naming the text when the file
    // has none, or only an unfinished or obsolete one.
    QString translate(const QString &context, const QString &source) const;

private:
    QString m_path;
    QHash<QString, QString> m_finished; // keyed by context, a NUL, the source text
};

} // namespace translationfile
