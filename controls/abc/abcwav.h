#pragma once

#include <QObject>

// The base of a list of sounds that mouse-sensitive controls ask for by number. A concrete list
// decides where its sounds come from and what it does with a number it does not hold; the controls
// only ask and never look at a result.
class TabcCustomWaveList : public QObject {
    Q_OBJECT
public:
    explicit TabcCustomWaveList(QObject *owner = nullptr) : QObject(owner) {}

    // Starts sound number index of the list.
    virtual void PlayIndex(int index) = 0;
};
