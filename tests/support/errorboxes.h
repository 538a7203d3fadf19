#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

// Answers every error box that comes up while it lives, the way a user presses OK, and keeps what
// each box said.
class ErrorBoxes : public QObject {
public:
    ErrorBoxes()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            texts << box->text();
            captions << box->windowTitle();
            icons << box->icon();
            buttonCounts << box->buttons().size();
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        });
        m_timer.start();
    }

    QStringList texts;
    QStringList captions;
    QList<QMessageBox::Icon> icons;
    QList<qsizetype> buttonCounts;

private:
    QTimer m_timer;
};
