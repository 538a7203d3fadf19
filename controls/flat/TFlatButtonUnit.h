#pragma once

#include "colors.h"
#include "control.h"

#include <QPushButton>

// A push button with a window of its own.
class TFlatButton : public QPushButton, public tk::Control {
    Q_OBJECT
public:
    explicit TFlatButton(QWidget *parent);

    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);
    bool ParentColor() const { return m_parentColor; }
    void setParentColor(bool parentColor) { m_parentColor = parentColor; }

    tk::TNotifyEvent OnClick;

private:
    QString m_caption;
    tk::TColor m_color = tk::clBtnFace;
    bool m_parentColor = true;
};
