#include "TFlatMemoUnit.h"

#include "errors.h"
#include "memotext.h"

TFlatMemo::TFlatMemo(QWidget *parent) : QPlainTextEdit(parent), tk::Control(this)
{
    setFrameStyle(QFrame::Panel | QFrame::Plain);
    setLineWidth(1);
    setScrollBars(ssNone);
    setWordWrap(true);
    applyFace();
}

void TFlatMemo::setText(const QString &text)
{
    const QString adjusted = tk::adjustLineBreaks(text);
    if (adjusted.size() > tk::kMemoCapacity)
        throw tk::Error(QString::fromUtf16(tk::kMemoCapacityMessage));
    if (adjusted == m_text)
        return;
    m_text = adjusted;
    QString shown = adjusted;
    shown.replace(u"\r\n"_qs, u"\n"_qs);
    setPlainText(shown);
}

void TFlatMemo::setScrollBars(TScrollStyle style)
{
    m_scrollBars = style;
    const bool vertical = style == ssVertical || style == ssBoth;
    const bool horizontal = style == ssHorizontal || style == ssBoth;
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TFlatMemo::setWordWrap(bool wrap)
{
    setLineWrapMode(wrap ? WidgetWidth : NoWrap);
}

void TFlatMemo::setColorFlat(tk::TColor color)
{
    m_colorFlat = color;
    applyFace();
}

void TFlatMemo::applyFace()
{
    QPalette p = palette();
    p.setColor(QPalette::Base, tk::toQColor(m_colorFlat));
    setPalette(p);
}
