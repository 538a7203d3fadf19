#pragma once

#include "controls/abc/abcmultilinelabel.h"
#include "controls/abc/abcutils.h"
#include "controls/abc/abcwav.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/control.h"
#include "toolkit/widgets/label.h"

#include <QPointer>

#include <cstdint>
#include <functional>

// Mouse-sensitive labels: the caption takes a chosen look while the mouse is over the label and
// while a button is held on it, and a sound can be asked for on entering either state.

enum TabcLabelMouseEffect : std::uint8_t { almUnderline, almColor, almColorShadow, almSound };

// A set of effects: bit n stands for the effect of ordinal n.
class TabcLabelMouseEffects {
public:
    constexpr TabcLabelMouseEffects() = default;
    constexpr TabcLabelMouseEffects(std::initializer_list<TabcLabelMouseEffect> effects)
    {
        for (TabcLabelMouseEffect e : effects)
            m_bits |= bit(e);
    }
    static constexpr TabcLabelMouseEffects fromBits(std::uint8_t bits)
    {
        TabcLabelMouseEffects s;
        s.m_bits = bits;
        return s;
    }
    constexpr std::uint8_t bits() const { return m_bits; }
    constexpr bool contains(TabcLabelMouseEffect e) const { return m_bits & bit(e); }
    constexpr TabcLabelMouseEffects without(TabcLabelMouseEffect e) const
    {
        return fromBits(m_bits & ~bit(e));
    }
    friend constexpr bool operator==(TabcLabelMouseEffects, TabcLabelMouseEffects) = default;

private:
    static constexpr std::uint8_t bit(TabcLabelMouseEffect e) { return std::uint8_t(1u << e); }
    std::uint8_t m_bits = 0;
};

using tk::TTextLayout;
using enum tk::TTextLayout;

class TabcCustomMouseLabel : public tk::TLabel, public tk::PointerEvents {
    Q_OBJECT
public:
    explicit TabcCustomMouseLabel(QWidget *parent);

    tk::TColor MouseDownColor() const { return m_mouseDownColor; }
    void setMouseDownColor(tk::TColor color);
    TabcLabelMouseEffects MouseDownEffects() const { return m_mouseDownEffects; }
    void setMouseDownEffects(TabcLabelMouseEffects effects);
    tk::TColor MouseOverColor() const { return m_mouseOverColor; }
    void setMouseOverColor(tk::TColor color);
    TabcLabelMouseEffects MouseOverEffects() const { return m_mouseOverEffects; }
    void setMouseOverEffects(TabcLabelMouseEffects effects);

    // Not owned: the reference goes empty when the list is destroyed.
    TabcCustomWaveList *SoundList() const { return m_soundList; }
    void setSoundList(TabcCustomWaveList *list) { m_soundList = list; }
    std::uint16_t SoundDown() const { return m_soundDown; }
    void setSoundDown(std::uint16_t index) { m_soundDown = index; }
    std::uint16_t SoundOver() const { return m_soundOver; }
    void setSoundOver(std::uint16_t index) { m_soundOver = index; }

    // FPressed: a mouse button went down on the label and has not come up.
    bool pressed() const { return m_button.tracking(); }
    // FMouseInside: the mouse is over the label.
    bool mouseInside() const { return m_mouseInside; }

protected:
    // Draws or measures the caption with the look of the state the label is in.
    void DoDrawText(QPainter *painter, tk::TRect &r, unsigned flags) override;

    // What the mouse notifications do; also reached when the label resynchronises itself. They call
    // out to user code and return whether the label still exists; when not, the caller returns at once.
    bool mouseEntered();
    bool mouseLeft();
    // Finds out afresh where the pointer is, after the label was enabled or disabled.
    void UpdateMouseState();

    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void pressLost() override;

private:
    void ApplyMouseEffects(QPainter *painter, QFont &font, QColor &color, TabcLabelMouseEffects effects,
                           tk::TColor effectColor, const QString &text, const tk::TRect &r, unsigned flags);
    bool playSound(TabcLabelMouseEffects effects, std::uint16_t index);
    void buttonDown();

    bool m_mouseInside = false;
    tk::TColor m_mouseDownColor = tk::clAqua;
    TabcLabelMouseEffects m_mouseDownEffects{almUnderline, almSound};
    tk::TColor m_mouseOverColor = tk::clYellow;
    TabcLabelMouseEffects m_mouseOverEffects{almUnderline, almSound};
    QPointer<TabcCustomWaveList> m_soundList;
    std::uint16_t m_soundDown = 0;
    std::uint16_t m_soundOver = 0;
    tk::PointerPresence m_presence;
};

class TabcMouseLabel : public TabcCustomMouseLabel {
    Q_OBJECT
public:
    using TabcCustomMouseLabel::TabcCustomMouseLabel;
};

// Opens its address in the user's web browser when clicked.
class TabcURLLabel : public TabcMouseLabel {
    Q_OBJECT
public:
    explicit TabcURLLabel(QWidget *parent);

    const QString &URL() const { return m_url; }
    void setURL(const QString &url) { m_url = url; }
    TabcShowWindowStyle ShowBrowser() const { return m_showBrowser; }
    void setShowBrowser(TabcShowWindowStyle show) { m_showBrowser = show; }

    // Read as a link; its press opens the address as a click does, with or without a handler.
    QAccessible::Role accessibleRole() const override { return QAccessible::Link; }
    void accessibleState(QAccessible::State &state) const override { state.linked = true; }
    bool hasPress() const override { return true; }

protected:
    void Click() override;

private:
    QString m_url;
    TabcShowWindowStyle m_showBrowser = aswShowMaximized;
};
