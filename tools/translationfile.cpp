#include "tools/translationfile.h"

#include <QFile>
#include <QXmlStreamReader>

#include <stdexcept>

namespace translationfile {

namespace {

QString key(const QString &context, const QString &source)
{
    return context + QChar(0) + source;
}

} // namespace

Translations::Translations(const QString &path) : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    QXmlStreamReader xml(&file);
    QString context, source, translation;
    bool finished = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"context") {
                context.clear();
            } else if (xml.name() == u"name") {
                context = xml.readElementText();
            } else if (xml.name() == u"message") {
                source.clear();
                translation.clear();
                finished = false;
            } else if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                // Unfinished and obsolete entries carry a type; a finished one has none.
                finished = !xml.attributes().hasAttribute(QStringLiteral("type"));
                translation = xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == u"message" && finished && !translation.isEmpty()) {
            m_finished.insert(key(context, source), translation);
        }
    }
    if (xml.hasError())
        throw std::runtime_error(path.toStdString() + ": " + xml.errorString().toStdString());
}

QString Translations::translate(const QString &context, const QString &source) const
{
    const auto found = m_finished.constFind(key(context, source));
    if (found == m_finished.constEnd())
        throw std::runtime_error(m_path.toStdString() + " has no finished translation of \"" +
                                 source.toStdString() + "\" in " + context.toStdString());
    return *found;
}

} // namespace translationfile
