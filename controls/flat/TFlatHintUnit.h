#pragma once

#include "toolkit/application/application.h"
#include "toolkit/painting/colors.h"
#include "toolkit/widgets/hintwindow.h"

#include <QFont>
#include <QObject>
#include <QPointer>

class TFlatHint;

enum TFlatHintPlacement : quint8 { hpBelowLeft, hpBelowRight, hpAboveLeft, hpAboveRight };

// Placed once on the main window, it gives every hint of the application the flat look: created, it
// makes TFlatHintWindow the application's hint window and sets the hint delays.
class TFlatHint : public QObject {
    Q_OBJECT
public:
    explicit TFlatHint(QObject *owner);
    ~TFlatHint() override;

    // Indexes of the colour setter.
    static constexpr int kBackground = 0, kBorder = 1, kArrowBackground = 2, kArrow = 3;

    tk::TColor ColorBackground() const { return m_colors[kBackground]; }
    tk::TColor ColorBorder() const { return m_colors[kBorder]; }
    tk::TColor ColorArrowBackground() const { return m_colors[kArrowBackground]; }
    tk::TColor ColorArrow() const { return m_colors[kArrow]; }
    // Only stores: a hint on the screen keeps its look until it is next painted.
    void setColors(int index, tk::TColor value);
    void setColorBackground(tk::TColor value) { setColors(kBackground, value); }
    void setColorBorder(tk::TColor value) { setColors(kBorder, value); }
    void setColorArrowBackground(tk::TColor value) { setColors(kArrowBackground, value); }
    void setColorArrow(tk::TColor value) { setColors(kArrow, value); }

    int MaxHintWidth() const { return m_maxHintWidth; }
    void setMaxHintWidth(int width) { m_maxHintWidth = width; }

    // The font is the component's own; setting it copies the given attributes.
    const QFont &Font() const { return m_font; }
    tk::TColor fontColor() const { return m_fontColor; }
    void setFont(const QFont &font, tk::TColor color);

    tk::TShowHintEvent OnShowHint;

    // The application's show-hint event while this component is installed.
    void ForwardShowHint(QString &HintStr, bool &CanShow, tk::THintInfo &HintInfo);

    static constexpr tk::TColor kDefaultArrowBackground = 0x0053D2FF;
    static constexpr int kDefaultMaxHintWidth = 200;

private:
    QFont m_font;
    tk::TColor m_fontColor = tk::clWindowText;
    tk::TColor m_colors[4] = {tk::clWhite, tk::clBlack, kDefaultArrowBackground, tk::clBlack};
    int m_maxHintWidth = kDefaultMaxHintWidth;
};

// The first TFlatHint the main window owns, in the order it owns them; nullptr when there is none.
TFlatHint *FindFlatHint();

class TFlatHintWindow : public tk::THintWindow {
    Q_OBJECT
public:
    TFlatHintWindow();

    void ActivateHint(tk::TRect rect, const QString &hint) override;

    TFlatHintPlacement placement() const { return FPlacement; }
    QPoint arrowPoint() const { return FArrowPoint; }
    TFlatHint *flatHint() const { return FFlatHint; }

    // Widths the window adds to the text: 14 for the arrow strip, two for the frame, six of margin.
    static constexpr int kExtraWidth = 22;
    static constexpr int kExtraHeight = 6;

protected:
    void CreateParams(tk::HintWindowParams &params) override;
    void Paint(QPainter &painter) override;

private:
    TFlatHintPlacement FPlacement = hpBelowLeft;
    QPoint FArrowPoint;
    QPointer<TFlatHint> FFlatHint;
};
