#include "controls/abc/abcmultilinelabel.h"

#include "toolkit/base/callout.h"

using namespace Qt::StringLiterals;

TabcMultilineLabel::TabcMultilineLabel(QWidget *parent) : tk::TLabel(parent)
{
}

void TabcMultilineLabel::setLines(const QStringList &lines)
{
    if (m_lines == lines)
        return;
    m_lines = lines;
    // The text of a list of lines ends every line with a break; the caption goes without the last ones.
    QString text = lines.join(u"\r\n"_s);
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
