#pragma once

#include "toolkit/widgets/label.h"

#include <QStringList>

// A label whose caption is the text of a list of lines, and which reports every setting of its bounds.
class TabcMultilineLabel : public tk::TLabel {
    Q_OBJECT
public:
    explicit TabcMultilineLabel(QWidget *parent);

    const QStringList &Lines() const { return m_lines; }
    void setLines(const QStringList &lines);

    // Fires OnResize once, after the bounds are set, whether they changed or not and whether the label
    // is shown or not.
    void SetBounds(int left, int top, int width, int height) override;

    tk::TNotifyEvent OnResize;

private:
    QStringList m_lines;
};
