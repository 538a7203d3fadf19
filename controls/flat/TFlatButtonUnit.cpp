#include "TFlatButtonUnit.h"

#include "application.h"

TFlatButton::TFlatButton(QWidget *parent) : QPushButton(parent), tk::Control(this)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, [this] {
        if (OnClick)
            tk::runGuarded([this] { OnClick(this); });
    });
}

void TFlatButton::setCaption(const QString &caption)
{
    m_caption = caption;
    // "&" stays an accelerator mark, as in every button caption.
    setText(caption);
}

void TFlatButton::setColor(tk::TColor color)
{
    m_color = color;
    m_parentColor = false;
    QPalette p = palette();
    p.setColor(QPalette::Button, tk::toQColor(color));
    setPalette(p);
}
