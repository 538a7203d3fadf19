#pragma once

#include "colors.h"
#include "control.h"

namespace tk {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A text label without a window of its own.
class TLabel : public GraphicControl {
    Q_OBJECT
public:
    explicit TLabel(QWidget *parent);

    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment alignment);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool wrap);
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void setFontColor(TColor color);
    void setFont(const QFont &font);

    QAccessible::Role AccessibleRole() const override { return QAccessible::StaticText; }
    QString AccessibleCaption() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    unsigned textFlags() const;
    void adjustSize();

private:
    QString m_caption;
    TAlignment m_alignment = taLeftJustify;
    bool m_autoSize = true;
    bool m_transparent = false;
    bool m_wordWrap = false;
    TColor m_color = clBtnFace;
    TColor m_fontColor = clWindowText;
};

} // namespace tk
