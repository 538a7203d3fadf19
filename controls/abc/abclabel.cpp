#include "abclabel.h"

#include "application.h"
#include "callout.h"
#include "events.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>

// Multi-line label

TabcMultilineLabel::TabcMultilineLabel(QWidget *parent) : tk::TLabel(parent) {}

void TabcMultilineLabel::setLines(const QStringList &lines)
{
    m_lines = lines;
    // The text of a list of lines ends every line with a break; the caption goes without the last ones.
    QString text = lines.join(u"\r\n"_qs);
    while (!text.isEmpty() && (text.back() == u'\r' || text.back() == u'\n'))
        text.chop(1);
    setCaption(text);
}

void TabcMultilineLabel::SetBounds(int left, int top, int width, int height)
{
    // Qt's move and resize events come in pairs, only for changes and only while shown; the event
    // follows the setting itself.
    tk::TLabel::SetBounds(left, top, width, height);
    if (OnResize)
        tk::callOut(this, [this] { OnResize(this); });
}

// Mouse-sensitive label

TabcCustomMouseLabel::TabcCustomMouseLabel(QWidget *parent) : tk::TLabel(parent) {}

void TabcCustomMouseLabel::setMouseDownColor(tk::TColor color)
{
    if (m_mouseDownColor == color)
        return;
    m_mouseDownColor = color;
    if (m_pressed)
        update();
}

void TabcCustomMouseLabel::setMouseOverColor(tk::TColor color)
{
    if (m_mouseOverColor == color)
        return;
    m_mouseOverColor = color;
    if (m_mouseInside && !m_pressed)
        update();
}

namespace {

// A colour and a coloured shadow exclude each other: the one just added wins, and a set that adds
// both at once keeps the shadow.
TabcLabelMouseEffects settleEffects(TabcLabelMouseEffects wanted, TabcLabelMouseEffects stored)
{
    if (wanted.contains(almColorShadow) && !stored.contains(almColorShadow))
        return wanted.without(almColor);
    if (wanted.contains(almColor) && !stored.contains(almColor))
        return wanted.without(almColorShadow);
    return wanted;
}

} // namespace

void TabcCustomMouseLabel::setMouseDownEffects(TabcLabelMouseEffects effects)
{
    if (effects == m_mouseDownEffects)
        return;
    m_mouseDownEffects = settleEffects(effects, m_mouseDownEffects);
    if (m_pressed)
        update();
}

void TabcCustomMouseLabel::setMouseOverEffects(TabcLabelMouseEffects effects)
{
    if (effects == m_mouseOverEffects)
        return;
    m_mouseOverEffects = settleEffects(effects, m_mouseOverEffects);
    if (m_mouseInside && !m_pressed)
        update();
}

void TabcCustomMouseLabel::DoMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TabcCustomMouseLabel::DoMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

bool TabcCustomMouseLabel::playSound(TabcLabelMouseEffects effects, std::uint16_t index)
{
    if (!effects.contains(almSound) || !m_soundList)
        return true;
    TabcCustomWaveList *list = m_soundList;
    return tk::callOut(this, [list, index] { list->PlayIndex(index); });
}

// Painting (the label's paint lays the text out and comes here, as does AutoSize's measuring)

void TabcCustomMouseLabel::DoDrawText(QPainter *painter, tk::TRect &r, unsigned flags)
{
    const bool measuring = !painter || (flags & tk::DT_CALCRECT);
    const QString text = textToDraw(measuring);
    if (!ShowAccelChar())
        flags |= tk::DT_NOPREFIX;
    QFont canvasFont = font();
    if (!isEnabled()) {
        // Embossed: a light copy one pixel down-right under the shadow-coloured text, whatever the state.
        if (!measuring) {
            tk::TRect lit{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1};
            tk::DrawText(painter, canvasFont, tk::toQColor(tk::clBtnHighlight), text, lit, flags);
        }
        tk::DrawText(measuring ? nullptr : painter, canvasFont, tk::toQColor(tk::clBtnShadow), text, r, flags);
        return;
    }
    QColor colour = tk::toQColor(FontColor());
    if (m_pressed)
        applyMouseEffects(measuring ? nullptr : painter, canvasFont, colour, m_mouseDownEffects, m_mouseDownColor, text,
                          r, flags);
    else if (m_mouseInside)
        applyMouseEffects(measuring ? nullptr : painter, canvasFont, colour, m_mouseOverEffects, m_mouseOverColor, text,
                          r, flags);
    tk::DrawText(measuring ? nullptr : painter, canvasFont, colour, text, r, flags);
}

void TabcCustomMouseLabel::applyMouseEffects(QPainter *painter, QFont &font, QColor &color,
                                             TabcLabelMouseEffects effects, tk::TColor effectColor,
                                             const QString &text, const tk::TRect &r, unsigned flags)
{
    if (effects.contains(almUnderline))
        font.setUnderline(true);
    if (effects.contains(almColor)) {
        color = tk::toQColor(effectColor);
    } else if (effects.contains(almColorShadow) && painter) {
        // The shadow copies go first so that the caption itself lies on top of them.
        const QColor shadow = tk::toQColor(effectColor);
        for (int d : {-1, 1}) {
            tk::TRect copy{r.Left + d, r.Top + d, r.Right + d, r.Bottom + d};
            tk::DrawText(painter, font, shadow, text, copy, flags);
        }
    }
}

// Mouse

bool TabcCustomMouseLabel::mouseEntered()
{
    if (!m_mouseInside && isEnabled()) {
        m_mouseInside = true;
        repaint();
        if (!playSound(m_mouseOverEffects, m_soundOver))
            return false;
    }
    return tk::callOut(this, [this] { DoMouseEnter(); });
}

bool TabcCustomMouseLabel::mouseLeft()
{
    // The toolkit has no drag and drop, so the label is never the one being dragged.
    if (isEnabled()) {
        m_mouseInside = false;
        repaint();
    }
    return tk::callOut(this, [this] { DoMouseLeave(); });
}

bool TabcCustomMouseLabel::pointerArrived()
{
    if (m_pointerInside)
        return true;
    m_pointerInside = true;
    return mouseEntered();
}

bool TabcCustomMouseLabel::pointerGone()
{
    if (!m_pointerInside)
        return true;
    m_pointerInside = false;
    return mouseLeft();
}

void TabcCustomMouseLabel::UpdateMouseState()
{
    m_pressed = false;
    // A disabled label keeps its hover flag; it draws no effects anyway.
    if (!isEnabled())
        return;
    const bool here = tk::Application::findControlAt(QCursor::pos()) == this;
    m_pointerInside = here;
    // Set the flag against the notification, so that the notification runs in full.
    if (here) {
        m_mouseInside = false;
        mouseEntered();
    } else {
        m_mouseInside = true;
        mouseLeft();
    }
}

bool TabcCustomMouseLabel::buttonDown()
{
    if (m_pressed || !isEnabled())
        return true;
    m_pressed = true;
    // An error box coming up while the button is held must find the label to drop the press.
    tk::Application::setCaptureControl(this);
    repaint();
    return playSound(m_mouseDownEffects, m_soundDown);
}

void TabcCustomMouseLabel::mousePressEvent(QMouseEvent *event)
{
    // Accepted before anything is called: were the label deleted meanwhile, an ignored press would
    // travel on to the parent through it.
    event->accept();
    if (tk::callOut(this, [&] { tk::TLabel::mousePressEvent(event); }))
        buttonDown();
}

void TabcCustomMouseLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (tk::callOut(this, [&] { tk::TLabel::mouseDoubleClickEvent(event); }))
        buttonDown();
}

void TabcCustomMouseLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // The base clicks first: the caption still shows the press while the click runs.
    event->accept();
    if (!tk::callOut(this, [&] { tk::TLabel::mouseReleaseEvent(event); }))
        return;
    if (tk::Application::captureControl() == this)
        tk::Application::setCaptureControl(nullptr);
    if (m_pressed && isEnabled()) {
        m_pressed = false;
        repaint();
    }
}

void TabcCustomMouseLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (!tk::callOut(this, [&] { tk::TLabel::mouseMoveEvent(event); }))
        return;
    // Qt reports neither leave nor enter while a button holds the mouse; the moves tell where it is.
    if (event->buttons() == Qt::NoButton)
        return;
    if (rect().contains(event->position().toPoint()))
        pointerArrived();
    else
        pointerGone();
}

void TabcCustomMouseLabel::changeEvent(QEvent *event)
{
    tk::TLabel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        update();
        tk::runGuarded([this] { UpdateMouseState(); });
    }
}

bool TabcCustomMouseLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        // Gone in a handler, the label must not go on into the base's handling.
        if (!pointerArrived())
            return true;
        break;
    case QEvent::Leave:
        if (!pointerGone())
            return true;
        break;
    default:
        if (event->type() == QEvent::Type(tk::CancelModeType) && m_pressed) {
            // The release will go to the error box, not here.
            m_pressed = false;
            update();
        }
        break;
    }
    return tk::TLabel::event(event);
}

// Link label

TabcURLLabel::TabcURLLabel(QWidget *parent) : TabcMouseLabel(parent)
{
    // Through the setters, so that the colour and shadow rule applies to these defaults too.
    setFontColor(tk::clBlue);
    setMouseDownColor(tk::clPurple);
    setMouseDownEffects({almColor, almSound});
    setMouseOverEffects({almUnderline, almSound});
    setCursor(Qt::PointingHandCursor);
}

void TabcURLLabel::Click()
{
    // A click handler may have closed the window that held the label, or failed: then nothing opens.
    bool completed = false;
    if (tk::callOut(
            this, [this] { TabcMouseLabel::Click(); }, &completed) &&
        completed)
        OpenURL(m_url, m_showBrowser);
}

// Starting the browser

namespace browserlaunch {

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QStringList envList(const char *name, const QString &fallback)
{
    QStringList dirs;
    for (const QString &dir : envOr(name, fallback).split(u':', Qt::SkipEmptyParts))
        dirs << dir;
    return dirs;
}

QString configHome()
{
    return envOr("XDG_CONFIG_HOME", QDir::homePath() + u"/.config"_qs);
}

QString dataHome()
{
    return envOr("XDG_DATA_HOME", QDir::homePath() + u"/.local/share"_qs);
}

QStringList applicationDirs()
{
    QStringList dirs{dataHome() + u"/applications"_qs};
    for (const QString &dir : envList("XDG_DATA_DIRS", u"/usr/local/share:/usr/share"_qs))
        dirs << dir + u"/applications"_qs;
    return dirs;
}

// The [group] of a freedesktop key file as key -> raw value; localised keys are left out.
QHash<QString, QString> readGroup(const QString &path, const QString &group)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inGroup || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key)) // the first occurrence counts
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    return keys;
}

// The escapes every string value of a desktop file may hold.
QString unescapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        if (n == u's')
            out += u' ';
        else if (n == u'n')
            out += u'\n';
        else if (n == u't')
            out += u'\t';
        else if (n == u'r')
            out += u'\r';
        else if (n == u'\\')
            out += u'\\';
        else
            out += QString(c) + n; // left for the Exec quoting rules (\" \` \$ inside quotes)
    }
    return out;
}

std::optional<DesktopEntry> loadEntry(const QString &path)
{
    const QHash<QString, QString> keys = readGroup(path, u"Desktop Entry"_qs);
    if (keys.value(u"Type"_qs) != u"Application"_qs || keys.value(u"Hidden"_qs) == u"true"_qs)
        return std::nullopt;
    DesktopEntry entry{path, unescapeValue(keys.value(u"Exec"_qs)), unescapeValue(keys.value(u"Icon"_qs)),
                       unescapeValue(keys.value(u"Name"_qs))};
    if (entry.exec.isEmpty())
        return std::nullopt;
    return entry;
}

// A desktop file id names a file under an applications folder; dashes in the id may stand for
// sub-folders ("vendor-app.desktop" is also "vendor/app.desktop").
std::optional<DesktopEntry> findEntry(const QString &id)
{
    if (id.isEmpty() || id.contains(u'/') || !id.endsWith(u".desktop"_qs))
        return std::nullopt;
    for (const QString &dir : applicationDirs()) {
        QStringList candidates{id};
        for (qsizetype dash = id.indexOf(u'-'); dash > 0; dash = id.indexOf(u'-', dash + 1)) {
            QString nested = id;
            nested[dash] = u'/';
            candidates << nested;
        }
        for (const QString &name : candidates) {
            const QString path = dir + u'/' + name;
            if (QFileInfo(path).isFile())
                return loadEntry(path);
        }
    }
    return std::nullopt;
}

bool reservedOutsideQuotes(QChar c)
{
    return QStringView(u"\t\n\"'\\><~|&;$*?#()`").contains(c);
}

// One word of an Exec value as written: its text and whether it was quoted.
struct ExecWord {
    QString text;
    bool quoted = false;
};

std::optional<QList<ExecWord>> splitExec(const QString &exec)
{
    QList<ExecWord> words;
    ExecWord word;
    bool inWord = false, inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && i + 1 < exec.size()
                       && QStringView(u"\"`$\\").contains(exec[i + 1])) {
                word.text += exec[++i];
            } else {
                word.text += c;
            }
        } else if (c == u' ') {
            if (inWord)
                words << word;
            word = {};
            inWord = false;
        } else if (c == u'"') {
            inQuotes = inWord = word.quoted = true;
        } else if (reservedOutsideQuotes(c)) {
            // The rules want these quoted; an entry that does not is broken, not to be guessed at.
            return std::nullopt;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord)
        words << word;
    return words;
}

} // namespace

ProcessStarter &processStarter()
{
    static ProcessStarter starter = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    return starter;
}

QStringList mimeAppsFiles()
{
    QStringList desktops;
    for (const QString &d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        desktops << d.toLower();
    QStringList dirs{configHome()};
    dirs << envList("XDG_CONFIG_DIRS", u"/etc/xdg"_qs);
    dirs << dataHome() + u"/applications"_qs;
    for (const QString &dir : envList("XDG_DATA_DIRS", u"/usr/local/share:/usr/share"_qs))
        dirs << dir + u"/applications"_qs;
    QStringList files;
    for (const QString &dir : dirs) {
        for (const QString &desktop : desktops)
            files << dir + u'/' + desktop + u"-mimeapps.list"_qs;
        files << dir + u"/mimeapps.list"_qs;
    }
    return files;
}

std::optional<DesktopEntry> defaultApplication(const QString &mimeType)
{
    for (const QString &file : mimeAppsFiles()) {
        const QString ids = readGroup(file, u"Default Applications"_qs).value(mimeType);
        // A default that is not installed gives way to the next one, then to the next file.
        for (const QString &id : ids.split(u';', Qt::SkipEmptyParts)) {
            if (std::optional<DesktopEntry> entry = findEntry(id.trimmed()))
                return entry;
        }
    }
    return std::nullopt;
}

std::optional<QStringList> execArguments(const DesktopEntry &entry, const QString &address)
{
    const std::optional<QList<ExecWord>> words = splitExec(entry.exec);
    if (!words || words->isEmpty())
        return std::nullopt;
    QStringList arguments;
    bool addressPlaced = false;
    for (const ExecWord &word : *words) {
        const QString &w = word.text;
        if (!word.quoted && w == u"%i"_qs) {
            if (!entry.icon.isEmpty())
                arguments << u"--icon"_qs << entry.icon;
            continue;
        }
        QString out;
        bool onlyCodes = true;   // the word was nothing but field codes
        bool expandedAny = false; // one of them put text in
        for (qsizetype i = 0; i < w.size(); ++i) {
            if (w[i] != u'%' || i + 1 == w.size()) {
                out += w[i];
                onlyCodes = false;
                continue;
            }
            const QChar code = w[++i];
            switch (code.unicode()) {
            case '%':
                out += u'%';
                onlyCodes = false;
                break;
            case 'u':
            case 'U':
            case 'f':
            case 'F':
                // One address, and only where the first such code stands.
                if (!addressPlaced) {
                    addressPlaced = true;
                    out += address;
                    expandedAny = expandedAny || !address.isEmpty();
                }
                break;
            case 'c':
                out += entry.name;
                expandedAny = expandedAny || !entry.name.isEmpty();
                break;
            case 'k':
                out += entry.path;
                expandedAny = expandedAny || !entry.path.isEmpty();
                break;
            default:
                break; // %i inside a word, the deprecated codes and unknown ones expand to nothing
            }
        }
        if (onlyCodes && !expandedAny && !word.quoted)
            continue;
        arguments << out;
    }
    // Without a field code the address goes last, as a word of its own; an empty one adds nothing.
    if (!addressPlaced && !address.isEmpty())
        arguments << address;
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    return arguments;
}

} // namespace browserlaunch

bool OpenURL(const QString &address, TabcShowWindowStyle show)
{
    // A desktop browser is started through its desktop file, which has no way to ask for a window
    // state: the style only says what the caller would like and is not passed on.
    Q_UNUSED(show);
    // The browser would take a leading dash for one of its options rather than for an address.
    if (address.startsWith(u'-'))
        return false;
    std::optional<browserlaunch::DesktopEntry> entry = browserlaunch::defaultApplication(u"x-scheme-handler/http"_qs);
    if (!entry)
        entry = browserlaunch::defaultApplication(u"text/html"_qs);
    if (!entry)
        return false;
    std::optional<QStringList> command = browserlaunch::execArguments(*entry, address);
    if (!command)
        return false;
    const QString program = command->takeFirst();
    const browserlaunch::ProcessStarter &start = browserlaunch::processStarter();
    return start && start(program, *command);
}
